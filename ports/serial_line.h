#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/serial_port.h"
#include "platform/system.h"

namespace setup {

// Notifications a line sends its owner, each with the port number as lParam.
namespace serial_message {
constexpr std::uint32_t breakSignal = 0x0401;  // WM_SERIAL_BREAK
constexpr std::uint32_t cts = 0x0402;          // WM_SERIAL_CTS
constexpr std::uint32_t error = 0x0404;        // WM_SERIAL_ERROR
constexpr std::uint32_t ring = 0x0405;         // WM_SERIAL_RING
constexpr std::uint32_t byte = 0x0407;         // WM_SERIAL_BYTE, the byte as wParam
constexpr std::uint32_t flagChar = 0x0408;     // WM_SERIAL_FLAGCHAR
}  // namespace serial_message

// The program's access to one serial port: opened for overlapped I/O, watched by a monitor
// thread that waits at once for line events, write requests and the end. It reads what
// comes in by blocks and hands the first byte after the opening and after every write (the
// device's answer) to the owner window as one synchronous WM_SERIAL_BYTE; the rest is read
// and dropped.
class SerialLine {
public:
    SerialLine(SerialPorts& ports, System& system);
    virtual ~SerialLine();
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    // Opens \\.\COM<portNumber> with the line settings; 1 when it is open and configured.
    // Whatever an earlier opening left (its monitor thread included) is ended first.
    int Open(SerialLineOwner& owner, int portNumber, int baudRate, char parity, int dataBits, int stopBits,
             std::uint32_t eventMask, int writeBufferSize);
    // Starts the monitor thread of the current opening; 1 when it runs.
    int StartMonitor();
    // Hands the bytes to the monitor thread, which sends them; does not wait for the
    // transfer. length must not exceed the write buffer size given to Open.
    void Write(const std::uint8_t* data, int length);
    // Ends the monitor thread and releases the port and the events; returns whether the
    // write-request event was released (0 when there was none).
    int Close();
    // Whether the line holds a port (open, or half-configured after a failed opening).
    bool hasPort() const;
    // Bytes read from the port since the current opening (for the benchmarks).
    std::uint64_t bytesRead() const;

private:
    struct Opening;
    void endMonitor();
    void monitor(std::shared_ptr<Opening> opening);
    void lineEvent(Opening& opening);
    // ClearCommError: whether the input queue holds a byte.
    bool bytesQueued(Opening& opening);
    void receive(Opening& opening);
    void writePending(Opening& opening);
    void lineErrorBox(Opening& opening, const char* operation, std::uint32_t error);

    SerialPorts& ports_;
    System& system_;
    std::shared_ptr<Opening> opening_;
    std::unique_ptr<WorkerThread> monitorThread_;
};

}  // namespace setup
