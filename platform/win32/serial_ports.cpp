#include <windows.h>

#include "platform/win32/handle_cast.h"
#include "platform/win32/win32_platform.h"

namespace setup::win32 {

namespace {

// How long a close waits for a pending operation to write its completion; past that the
// records are left allocated, since the system may still write into them.
constexpr DWORD completionWaitMs = 1000;

// One open port with an asynchronous-I/O record per kind of operation. The event wait's
// record signals the caller's line event; the read and the write have events of their own.
struct PortRecords {
    HANDLE file = INVALID_HANDLE_VALUE;
    OVERLAPPED wait{};
    OVERLAPPED read{};
    OVERLAPPED write{};
    DWORD eventWord = 0;
    BYTE block[readBlockSize] = {};
};

PortRecords* records(Handle port) {
    return fromHandle<PortRecords*>(port);
}

std::uint32_t lastError() {
    return static_cast<std::uint32_t>(GetLastError());
}

template <class T>
Result<T> failure() {
    return Result<T>::failure(lastError());
}

bool completed(const OVERLAPPED& record) {
    return HasOverlappedIoCompleted(&record);
}

}  // namespace

Handle Win32SerialPorts::createEvent() {
    return toHandle(CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

void Win32SerialPorts::setEvent(Handle event) {
    SetEvent(fromHandle<HANDLE>(event));
}

void Win32SerialPorts::resetEvent(Handle event) {
    ResetEvent(fromHandle<HANDLE>(event));
}

bool Win32SerialPorts::closeEvent(Handle event) {
    return event != 0 && CloseHandle(fromHandle<HANDLE>(event)) != FALSE;
}

int Win32SerialPorts::waitAny(const std::vector<Handle>& events, std::uint32_t timeoutMs) {
    std::vector<HANDLE> handles;
    for (Handle event : events) handles.push_back(fromHandle<HANDLE>(event));
    DWORD signalled = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, timeoutMs);
    if (signalled >= WAIT_OBJECT_0 + handles.size()) return -1;
    return static_cast<int>(signalled - WAIT_OBJECT_0);
}

Result<Handle> Win32SerialPorts::openPort(const std::string& deviceName, Handle lineEvent) {
    HANDLE file = CreateFileA(deviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    if (file == INVALID_HANDLE_VALUE) return failure<Handle>();
    auto* port = new PortRecords;
    port->file = file;
    port->wait.hEvent = fromHandle<HANDLE>(lineEvent);
    port->read.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    port->write.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return toHandle(port);
}

void Win32SerialPorts::closePort(Handle handle) {
    PortRecords* port = records(handle);
    if (port == nullptr) return;
    CloseHandle(port->file);
    // Closing ends what is pending, but the completion may land a little later (Wine: up
    // to a millisecond) and writes the record and the event word.
    DWORD waited = 0;
    while (!(completed(port->wait) && completed(port->read) && completed(port->write))) {
        if (waited >= completionWaitMs) return;  // left allocated: still in the system's hands
        Sleep(1);
        ++waited;
    }
    CloseHandle(port->read.hEvent);
    CloseHandle(port->write.hEvent);
    delete port;
}

bool Win32SerialPorts::setupComm(Handle port, std::uint32_t inQueue, std::uint32_t outQueue) {
    return SetupComm(records(port)->file, inQueue, outQueue) != FALSE;
}

bool Win32SerialPorts::setTimeouts(Handle port, const CommTimeouts& timeouts) {
    COMMTIMEOUTS native{timeouts.readInterval, timeouts.readTotalMultiplier, timeouts.readTotalConstant,
                        timeouts.writeTotalMultiplier, timeouts.writeTotalConstant};
    return SetCommTimeouts(records(port)->file, &native) != FALSE;
}

bool Win32SerialPorts::setMask(Handle port, std::uint32_t mask) {
    return SetCommMask(records(port)->file, mask) != FALSE;
}

Result<std::uint32_t> Win32SerialPorts::mask(Handle port) {
    DWORD mask = 0;
    if (!GetCommMask(records(port)->file, &mask)) return failure<std::uint32_t>();
    return static_cast<std::uint32_t>(mask);
}

bool Win32SerialPorts::configure(Handle port, char eventCharacter, const std::string& definition) {
    DCB control{};
    control.DCBlength = sizeof control;
    if (!GetCommState(records(port)->file, &control)) return false;
    control.EvtChar = eventCharacter;
    control.fRtsControl = RTS_CONTROL_ENABLE;
    if (!BuildCommDCBA(definition.c_str(), &control)) return false;
    return SetCommState(records(port)->file, &control) != FALSE;
}

bool Win32SerialPorts::purge(Handle port, std::uint32_t flags) {
    return PurgeComm(records(port)->file, flags) != FALSE;
}

Result<CommStatus> Win32SerialPorts::clearError(Handle port) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(records(port)->file, &errors, &status)) return failure<CommStatus>();
    return CommStatus{static_cast<std::uint32_t>(errors), static_cast<std::uint32_t>(status.cbInQue)};
}

Result<std::uint32_t> Win32SerialPorts::waitEvent(Handle handle) {
    PortRecords* port = records(handle);
    port->wait.Offset = port->wait.OffsetHigh = 0;
    port->eventWord = 0;
    if (!WaitCommEvent(port->file, &port->eventWord, &port->wait)) return failure<std::uint32_t>();
    return static_cast<std::uint32_t>(port->eventWord);
}

Result<std::uint32_t> Win32SerialPorts::eventWaitResult(Handle handle) {
    PortRecords* port = records(handle);
    DWORD transferred = 0;
    if (!GetOverlappedResult(port->file, &port->wait, &transferred, FALSE)) return failure<std::uint32_t>();
    return static_cast<std::uint32_t>(port->eventWord);
}

Result<std::vector<std::uint8_t>> Win32SerialPorts::read(Handle handle, std::uint32_t count) {
    PortRecords* port = records(handle);
    port->read.Offset = port->read.OffsetHigh = 0;
    DWORD read = 0;
    DWORD wanted = count < readBlockSize ? count : readBlockSize;
    if (!ReadFile(port->file, port->block, wanted, &read, &port->read))
        return failure<std::vector<std::uint8_t>>();
    return std::vector<std::uint8_t>(port->block, port->block + read);
}

Result<std::vector<std::uint8_t>> Win32SerialPorts::readResult(Handle handle) {
    PortRecords* port = records(handle);
    DWORD read = 0;
    if (!GetOverlappedResult(port->file, &port->read, &read, TRUE)) return failure<std::vector<std::uint8_t>>();
    return std::vector<std::uint8_t>(port->block, port->block + read);
}

Result<std::uint32_t> Win32SerialPorts::write(Handle handle, const std::vector<std::uint8_t>& bytes) {
    PortRecords* port = records(handle);
    port->write.Offset = port->write.OffsetHigh = 0;
    // The bytes must stay where they are until a pending write has completed: the write
    // procedure waits for it before its buffer goes.
    DWORD written = 0;
    if (!WriteFile(port->file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &port->write))
        return failure<std::uint32_t>();
    return static_cast<std::uint32_t>(written);
}

Result<std::uint32_t> Win32SerialPorts::writeResult(Handle handle) {
    PortRecords* port = records(handle);
    DWORD written = 0;
    if (!GetOverlappedResult(port->file, &port->write, &written, TRUE)) return failure<std::uint32_t>();
    return static_cast<std::uint32_t>(written);
}

void Win32SerialPorts::errorBox(const std::string& text, const std::string& caption, std::uint32_t style) {
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), style);
}

}  // namespace setup::win32
