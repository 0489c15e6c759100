#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial_port.h"

namespace setup::sim {

// A device on the far end of a simulated COM port.
struct SimSerialDevice {
    // A device that sends these bytes back after every write, after the delay.
    static SimSerialDevice answering(std::vector<std::uint8_t> bytes, unsigned delayMs) {
        SimSerialDevice device;
        device.answer = std::move(bytes);
        device.answerDelayMs = delayMs;
        return device;
    }

    // Sent back after every write that reaches the device; empty: it never answers.
    std::vector<std::uint8_t> answer;
    unsigned answerDelayMs = 20;
    // Another program holds the port: opening it fails with ERROR_ACCESS_DENIED.
    bool busy = false;
    // Unplugged as soon as the first write has reached it: every later call on the port fails.
    bool vanishAfterWrite = false;
    // A read of a queued byte stays pending this long before it completes.
    unsigned readPendsMs = 0;
    // Every read of a queued byte fails with ERROR_BAD_COMMAND.
    bool failReads = false;
    // Sends bytes without end at this rate (bytes a second; 11520 is 115200 baud) from the
    // first write that reaches it, as a printer that answers and then keeps sending (a
    // print loop) does; 0: it does not.
    unsigned streamBytesPerSecond = 0;

    // --- what happened ---
    std::vector<std::vector<std::uint8_t>> written;  // every write, in order
    std::vector<std::string> definitions;            // the line definition of every opening
    int opens = 0;
    std::uint64_t bytesSent = 0;     // bytes it sent towards the program
    std::uint64_t bytesRead = 0;     // ... that the program read
    std::uint64_t bytesOverrun = 0;  // ... that found the input queue full and were lost
};

// One line-error box shown without an owner.
struct SimErrorBox {
    std::string text;
    std::string caption;
    std::uint32_t style = 0;
};

// Serial ports of the simulated machine: COM ports with devices attached, opened for
// overlapped I/O as Windows does it, on real threads. A clock thread delivers the devices'
// answers after their delay.
class SimSerialPorts : public SerialPorts {
public:
    SimSerialPorts();
    ~SimSerialPorts() override;

    // Attaches a device to a COM port ("COM3"); a port without a device does not exist.
    void attach(const std::string& com, SimSerialDevice device);
    // What the device on a port has seen so far.
    SimSerialDevice device(const std::string& com) const;
    // Bytes arriving from the device at once on every open port of that name.
    void arrive(const std::string& com, const std::vector<std::uint8_t>& bytes);
    // Wine's behaviour: a pending event wait ends by itself every millisecond or two with
    // an event word of 0.
    void endWaitsByThemselves(bool on);

    // Bytes waiting unread in the input queue of the open port of that name.
    std::size_t queued(const std::string& com) const;
    // Whether an event wait is pending on the open port of that name.
    bool waiting(const std::string& com) const;
    // Ports and events not closed.
    int openObjects() const;
    // Pending waits ended without an event so far.
    int emptyWaitEnds() const;
    std::vector<SimErrorBox> errorBoxes() const;
    std::vector<std::string> log() const;

    // --- SerialPorts ---
    Handle createEvent() override;
    void setEvent(Handle event) override;
    void resetEvent(Handle event) override;
    bool closeEvent(Handle event) override;
    int waitAny(const std::vector<Handle>& events, std::uint32_t timeoutMs) override;
    Result<Handle> openPort(const std::string& deviceName, Handle lineEvent) override;
    void closePort(Handle port) override;
    bool setupComm(Handle port, std::uint32_t inQueue, std::uint32_t outQueue) override;
    bool setTimeouts(Handle port, const CommTimeouts& timeouts) override;
    bool setMask(Handle port, std::uint32_t mask) override;
    Result<std::uint32_t> mask(Handle port) override;
    bool configure(Handle port, char eventCharacter, const std::string& definition) override;
    bool purge(Handle port, std::uint32_t flags) override;
    Result<CommStatus> clearError(Handle port) override;
    Result<std::uint32_t> waitEvent(Handle port) override;
    Result<std::uint32_t> eventWaitResult(Handle port) override;
    Result<std::vector<std::uint8_t>> read(Handle port, std::uint32_t count) override;
    Result<std::vector<std::uint8_t>> readResult(Handle port) override;
    Result<std::uint32_t> write(Handle port, const std::vector<std::uint8_t>& bytes) override;
    Result<std::uint32_t> writeResult(Handle port) override;
    void errorBox(const std::string& text, const std::string& caption, std::uint32_t style) override;

private:
    using Clock = std::chrono::steady_clock;
    struct Port {
        std::string com;
        Handle lineEvent = 0;
        std::uint32_t mask = 0;
        char eventCharacter = 0;
        std::deque<std::uint8_t> input;
        std::size_t inputCapacity = readBlockSize;  // as SetupComm gave it
        std::optional<Clock::time_point> streamStart;  // the first write, for a streaming device
        std::uint64_t streamed = 0;
        std::uint32_t pendingRead = 0;  // the count of the read that went pending
        bool flagCharacterSeen = false;
        bool waitPending = false;
        std::uint32_t waitEvents = 0;
        std::uint32_t waitError = 0;
        bool vanished = false;
        bool closed = false;
    };

    void record(const std::string& entry);
    Port* port(Handle handle);
    SimSerialDevice* deviceOf(const Port& port);
    void signal(Handle event);
    void deliver(Port& port, const std::vector<std::uint8_t>& bytes);
    std::uint32_t eventsToReport(Port& port);
    void endWait(Port& port, std::uint32_t events, std::uint32_t error);
    void runClock();
    bool stream();
    std::vector<std::uint8_t> take(Port& port, SimSerialDevice* device, std::uint32_t count);

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::map<std::string, SimSerialDevice> devices_;
    std::map<Handle, bool> events_;  // signalled or not
    std::map<Handle, std::shared_ptr<Port>> ports_;
    std::multimap<Clock::time_point, std::function<void()>> schedule_;
    std::vector<std::string> log_;
    std::vector<SimErrorBox> errorBoxes_;
    Handle nextHandle_ = 0x5000;
    bool endWaitsByThemselves_ = false;
    int emptyWaitEnds_ = 0;
    Clock::time_point lastEmptyEnd_;
    bool stopping_ = false;
    std::thread clock_;
};

}  // namespace setup::sim
