#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/result.h"
#include "platform/system.h"

namespace setup {

// Line-event bits, as SetCommMask and WaitCommEvent know them.
namespace comm_event {
constexpr std::uint32_t rxChar = 0x0001;
constexpr std::uint32_t rxFlag = 0x0002;
constexpr std::uint32_t cts = 0x0008;
constexpr std::uint32_t breakSignal = 0x0040;
constexpr std::uint32_t error = 0x0080;
constexpr std::uint32_t ring = 0x0100;
}  // namespace comm_event

// No time limit (INFINITE).
constexpr std::uint32_t waitForever = 0xFFFFFFFF;

// The most one read takes: the driver's input queue as the line sets it up.
constexpr std::uint32_t readBlockSize = 2048;

// PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR.
constexpr std::uint32_t purgeAll = 0x0F;

// Error codes of overlapped I/O.
namespace io_error {
constexpr std::uint32_t pending = 997;           // ERROR_IO_PENDING
constexpr std::uint32_t operationAborted = 995;  // ERROR_OPERATION_ABORTED
constexpr std::uint32_t invalidParameter = 87;
constexpr std::uint32_t badCommand = 22;
}  // namespace io_error

// COMMTIMEOUTS, in milliseconds.
struct CommTimeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0;
    std::uint32_t writeTotalConstant = 0;
};

// What ClearCommError reports: the error word and the bytes waiting in the input queue.
struct CommStatus {
    std::uint32_t errors = 0;
    std::uint32_t inQueue = 0;
};

// The window a serial line reports to. Notifications are sent (SendMessageA): the sender
// waits until the window's thread has handled them.
class SerialLineOwner {
public:
    virtual ~SerialLineOwner() = default;
    virtual void sendSerialMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // Called on the window's thread: returns when the worker has finished, delivering to the
    // window meanwhile whatever the worker sends it, so that the worker cannot block on us.
    virtual void waitServing(WorkerThread& worker) = 0;
};

// Serial ports opened for overlapped I/O, and the events a line waits on.
//
// An open port has three asynchronous-I/O records of its own: one for the event wait (its
// event is the line event given at opening), one for reads and one for writes, so that a
// write never reuses the record of a pending event wait. What a pending operation writes
// when it completes (its record, the event word, the byte read) stays valid after the port
// is closed.
class SerialPorts {
public:
    virtual ~SerialPorts() = default;

    // CreateEventA: no security attributes, manual reset, not signalled, no name.
    virtual Handle createEvent() = 0;
    virtual void setEvent(Handle event) = 0;
    virtual void resetEvent(Handle event) = 0;
    virtual bool closeEvent(Handle event) = 0;
    // WaitForMultipleObjects on every event, waking on any one: the index of the signalled
    // event, or -1 when the time ran out (or the wait failed).
    virtual int waitAny(const std::vector<Handle>& events, std::uint32_t timeoutMs) = 0;

    // CreateFileA(GENERIC_READ | GENERIC_WRITE, no sharing, OPEN_EXISTING,
    // FILE_FLAG_OVERLAPPED) on a device name such as \\.\COM3.
    virtual Result<Handle> openPort(const std::string& deviceName, Handle lineEvent) = 0;
    // CloseHandle; returns once no pending operation can still write into the port's records.
    virtual void closePort(Handle port) = 0;
    virtual bool setupComm(Handle port, std::uint32_t inQueue, std::uint32_t outQueue) = 0;
    virtual bool setTimeouts(Handle port, const CommTimeouts& timeouts) = 0;
    virtual bool setMask(Handle port, std::uint32_t mask) = 0;
    virtual Result<std::uint32_t> mask(Handle port) = 0;  // GetCommMask
    // GetCommState; the event character set and RTS_CONTROL_ENABLE; BuildCommDCBA with the
    // line definition ("baud=19200 parity=N data=8 stop=1"); SetCommState.
    virtual bool configure(Handle port, char eventCharacter, const std::string& definition) = 0;
    virtual bool purge(Handle port, std::uint32_t flags) = 0;  // PurgeComm
    virtual Result<CommStatus> clearError(Handle port) = 0;    // ClearCommError

    // WaitCommEvent on the event-wait record: the event word when it completed at once,
    // io_error::pending when it runs on, or the error.
    virtual Result<std::uint32_t> waitEvent(Handle port) = 0;
    // GetOverlappedResult of the event wait without waiting: the event word it ended with.
    virtual Result<std::uint32_t> eventWaitResult(Handle port) = 0;
    // ReadFile of count bytes (at most readBlockSize) on the read record: the bytes, or
    // io_error::pending, or the error.
    virtual Result<std::vector<std::uint8_t>> read(Handle port, std::uint32_t count) = 0;
    // GetOverlappedResult of the read, waiting for it: the bytes it brought (none when
    // nothing came in time).
    virtual Result<std::vector<std::uint8_t>> readResult(Handle port) = 0;
    // WriteFile on the write record: the bytes written, io_error::pending, or the error.
    virtual Result<std::uint32_t> write(Handle port, const std::vector<std::uint8_t>& bytes) = 0;
    // GetOverlappedResult of the write, waiting for it.
    virtual Result<std::uint32_t> writeResult(Handle port) = 0;

    // MessageBoxA without an owner window, on the calling thread.
    virtual void errorBox(const std::string& text, const std::string& caption, std::uint32_t style) = 0;
};

}  // namespace setup
