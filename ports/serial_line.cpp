#include "ports/serial_line.h"

#include <algorithm>
#include <string>

namespace setup {

namespace {
constexpr std::uint32_t queueSize = readBlockSize;  // each of the driver's two queues
constexpr std::uint32_t timeoutMs = 1000;
constexpr char eventCharacter = 'q';
constexpr const char* errorCaption = "Application Error";
// After an event wait that ended without an event, or one whose bytes were read, the next
// one starts this much later (unless the line is closed or written meanwhile). Wine ends
// pending waits by itself every millisecond or two, and a device that keeps sending ends
// every wait at once: without the pause either keeps a core busy. A byte that comes in
// meanwhile ends the next wait at once; at 115200 baud 10 ms bring about 115 bytes, far
// below the 2048-byte input queue.
constexpr std::uint32_t waitPauseMs = 10;
constexpr std::uint32_t errorBoxStyle = 0x10;  // MB_ICONSTOP | MB_OK

// The notifications a line event brings, in the order they are sent after the receive
// procedure has run.
struct EventNotification {
    std::uint32_t event;
    std::uint32_t message;
};
constexpr EventNotification eventNotifications[] = {
    {comm_event::cts, serial_message::cts},     {comm_event::breakSignal, serial_message::breakSignal},
    {comm_event::error, serial_message::error}, {comm_event::ring, serial_message::ring},
    {comm_event::rxFlag, serial_message::flagChar},
};

enum WaitListIndex { shutdownIndex = 0, lineEventIndex = 1, writeRequestIndex = 2 };
}  // namespace

// What one opening of a port holds. The monitor thread shares it, so that it stays valid
// until that thread has ended, whatever the line does meanwhile.
struct SerialLine::Opening {
    SerialLineOwner* owner = nullptr;
    int portNumber = 0;
    std::uint32_t eventMask = 0;
    Handle lineEvent = 0;
    Handle writeEvent = 0;
    Handle shutdownEvent = 0;
    // Serialises the port between the caller's thread and the monitor thread; never held
    // while the owner handles a notification.
    std::mutex lock;
    Handle port = 0;  // 0: none
    std::vector<std::uint8_t> writeBuffer;
    std::size_t bytesToWrite = 1;
    std::atomic<int> monitorAlive{0};
    // Whether the next byte read is the answer the owner waits for: true from the opening
    // and again after every write; only the monitor thread touches it.
    bool answerAwaited = true;
    std::atomic<std::uint64_t> bytesRead{0};
};

SerialLine::SerialLine(SerialPorts& ports, System& system) : ports_(ports), system_(system) {}

SerialLine::~SerialLine() {
    Close();
}

int SerialLine::Open(SerialLineOwner& owner, int portNumber, int baudRate, char parity, int dataBits, int stopBits,
                     std::uint32_t eventMask, int writeBufferSize) {
    Close();
    auto opening = std::make_shared<Opening>();
    opening->lineEvent = ports_.createEvent();
    opening->writeEvent = ports_.createEvent();
    opening->shutdownEvent = ports_.createEvent();
    opening->owner = &owner;
    opening->writeBuffer.assign(static_cast<std::size_t>(std::max(writeBufferSize, 0)), 0);
    opening->portNumber = portNumber;
    opening->eventMask = eventMask;
    opening_ = opening;

    std::lock_guard<std::mutex> lock(opening->lock);
    const std::string device = "\\\\.\\COM" + std::to_string(portNumber);
    const std::string definition = "baud=" + std::to_string(baudRate) + " parity=" + std::string(1, parity) +
                                   " data=" + std::to_string(dataBits) + " stop=" + std::to_string(stopBits);
    Result<Handle> port = ports_.openPort(device, opening->lineEvent);
    if (!port) return 0;
    opening->port = *port;
    const CommTimeouts timeouts{timeoutMs, timeoutMs, timeoutMs, timeoutMs, timeoutMs};
    if (!ports_.setupComm(opening->port, queueSize, queueSize) || !ports_.setTimeouts(opening->port, timeouts) ||
        !ports_.setMask(opening->port, eventMask) || !ports_.configure(opening->port, eventCharacter, definition))
        return 0;
    ports_.purge(opening->port, purgeAll);
    return 1;
}

int SerialLine::StartMonitor() {
    if (!opening_ || monitorThread_ || !hasPort()) return 0;
    std::shared_ptr<Opening> opening = opening_;
    monitorThread_ = system_.startThread([this, opening] { monitor(opening); });
    return monitorThread_ ? 1 : 0;
}

void SerialLine::Write(const std::uint8_t* data, int length) {
    if (!opening_) return;
    {
        std::lock_guard<std::mutex> lock(opening_->lock);
        std::size_t count = std::min(static_cast<std::size_t>(std::max(length, 0)), opening_->writeBuffer.size());
        std::copy(data, data + count, opening_->writeBuffer.begin());
        opening_->bytesToWrite = count;
    }
    ports_.setEvent(opening_->writeEvent);
}

std::uint64_t SerialLine::bytesRead() const {
    return opening_ ? opening_->bytesRead.load() : 0;
}

bool SerialLine::hasPort() const {
    if (!opening_) return false;
    std::lock_guard<std::mutex> lock(opening_->lock);
    return opening_->port != 0;
}

// The monitor thread may be sending a notification to the owner, whose thread is the one
// waiting here: the wait delivers it, so the thread always gets to see the shutdown event.
void SerialLine::endMonitor() {
    if (!monitorThread_) return;
    ports_.setEvent(opening_->shutdownEvent);
    if (!monitorThread_->finished()) opening_->owner->waitServing(*monitorThread_);
    monitorThread_.reset();
}

int SerialLine::Close() {
    endMonitor();
    if (!opening_) return 0;
    std::shared_ptr<Opening> opening = std::move(opening_);
    {
        std::lock_guard<std::mutex> lock(opening->lock);
        if (opening->port != 0) ports_.closePort(opening->port);
        opening->port = 0;
    }
    ports_.closeEvent(opening->shutdownEvent);
    ports_.closeEvent(opening->lineEvent);
    return ports_.closeEvent(opening->writeEvent) ? 1 : 0;
}

void SerialLine::monitor(std::shared_ptr<Opening> opening) {
    Opening& line = *opening;
    line.monitorAlive = 1;
    {
        std::lock_guard<std::mutex> lock(line.lock);
        ports_.purge(line.port, purgeAll);
    }
    const std::vector<Handle> waitList{line.shutdownEvent, line.lineEvent, line.writeEvent};
    const std::vector<Handle> writeOrShutdown{line.shutdownEvent, line.writeEvent};
    bool waitPending = false;
    bool pauseBeforeWait = false;
    // The events of a wait that completed at once, handled like those of a pending one.
    std::uint32_t completedAtOnce = 0;
    for (;;) {
        if (pauseBeforeWait) ports_.waitAny(writeOrShutdown, waitPauseMs);
        pauseBeforeWait = false;
        // A write request leaves the event wait pending: it is not started a second time.
        if (!waitPending) {
            Result<std::uint32_t> started = ports_.waitEvent(line.port);
            if (started) {
                if (!bytesQueued(line)) {
                    pauseBeforeWait = true;
                    continue;
                }
                completedAtOnce = *started != 0 ? *started : comm_event::rxChar;
                ports_.setEvent(line.lineEvent);
            } else {
                waitPending = started.error() == io_error::pending;
            }
        }
        switch (ports_.waitAny(waitList, waitForever)) {
            case shutdownIndex: {
                std::lock_guard<std::mutex> lock(line.lock);
                ports_.closePort(line.port);
                line.port = 0;
                line.monitorAlive = 0;
                return;
            }
            case lineEventIndex: {
                ports_.resetEvent(line.lineEvent);
                std::uint32_t events = 0;
                if (completedAtOnce != 0) {
                    events = completedAtOnce;
                } else if (Result<std::uint32_t> ended = ports_.eventWaitResult(line.port)) {
                    events = *ended;
                }
                waitPending = false;
                completedAtOnce = 0;
                // A wait that ended without any event (Wine ends pending waits by itself
                // every few milliseconds) is no line event: nothing to tell the owner.
                if (events != 0) lineEvent(line);
                pauseBeforeWait = true;
                break;
            }
            case writeRequestIndex: writePending(line); break;
            default: break;
        }
    }
}

bool SerialLine::bytesQueued(Opening& line) {
    std::lock_guard<std::mutex> lock(line.lock);
    Result<CommStatus> status = ports_.clearError(line.port);
    return status && status->inQueue > 0;
}

// Every line event runs the receive procedure and then sends a notification for every
// class the port's mask holds, not only for the events that occurred.
void SerialLine::lineEvent(Opening& line) {
    Result<std::uint32_t> mask = ports_.mask(line.port);
    std::uint32_t watched = mask ? *mask : line.eventMask;
    if (watched & comm_event::rxChar) receive(line);
    for (const EventNotification& notification : eventNotifications)
        if (watched & notification.event) line.owner->sendSerialMessage(notification.message, 0, line.portNumber);
}

// Reads one block of what the input queue holds, then goes back to the wait, so that a
// shutdown or a write request is seen between two blocks however long the device sends.
// The first byte after an opening or a write is the answer and goes to the owner; what
// follows it is read and dropped, so that a device that keeps sending costs the dialog
// one message, not one per byte.
void SerialLine::receive(Opening& line) {
    std::vector<std::uint8_t> block;
    const char* failed = nullptr;
    std::uint32_t error = 0;
    {
        std::lock_guard<std::mutex> lock(line.lock);
        Result<CommStatus> status = ports_.clearError(line.port);
        if (!status || status->inQueue == 0) return;
        Result<std::vector<std::uint8_t>> read = ports_.read(line.port, std::min(status->inQueue, readBlockSize));
        if (read) {
            block = std::move(*read);
        } else if (read.error() == io_error::pending) {
            Result<std::vector<std::uint8_t>> ended = ports_.readResult(line.port);
            if (ended) block = std::move(*ended);
            else failed = "GetOverlappedResults() in ReadFile()", error = ended.error();
        } else {
            failed = "ReadFile()", error = read.error();
        }
    }
    line.bytesRead += block.size();
    // A failed read is said, and still counts as the port's answer: something is there.
    if (failed) lineErrorBox(line, failed, error);
    if ((failed || !block.empty()) && line.answerAwaited) {
        line.answerAwaited = false;
        line.owner->sendSerialMessage(serial_message::byte, block.empty() ? 0 : block.front(), line.portNumber);
    }
}

// Sends the pending bytes. The input queue is purged first: what arrived before the write
// and was not read yet is lost, so only an answer to these bytes is seen.
void SerialLine::writePending(Opening& line) {
    ports_.resetEvent(line.writeEvent);
    std::uint32_t error = 0;
    {
        std::lock_guard<std::mutex> lock(line.lock);
        ports_.purge(line.port, purgeAll);
        line.answerAwaited = true;
        std::vector<std::uint8_t> bytes(line.writeBuffer.begin(), line.writeBuffer.begin() + line.bytesToWrite);
        Result<std::uint32_t> written = ports_.write(line.port, bytes);
        if (!written && written.error() == io_error::pending)
            ports_.writeResult(line.port);
        else if (!written)
            error = written.error();
    }
    if (error != 0) lineErrorBox(line, "WriteFile()", error);
}

// Shown on the monitor thread, which waits until the user closes it. The text is built
// whole, however long the system's message is.
void SerialLine::lineErrorBox(Opening& line, const char* operation, std::uint32_t error) {
    std::string text = std::string("WARNING:  ") + operation + " Failed with the following error: \n" +
                       system_.systemMessage(error) + "\nPort: " + std::to_string(line.portNumber) + "\n";
    ports_.errorBox(text, errorCaption, errorBoxStyle);
}

}  // namespace setup
