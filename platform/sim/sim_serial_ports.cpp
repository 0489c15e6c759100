#include "platform/sim/sim_serial_ports.h"

#include <algorithm>
#include <cstdio>

namespace setup::sim {

namespace {

constexpr const char* devicePrefix = "\\\\.\\";
constexpr std::uint32_t ioIncomplete = 996;  // ERROR_IO_INCOMPLETE
constexpr std::uint32_t purgeRxClear = 0x08;
constexpr std::chrono::milliseconds readTimeout(2000);

std::string hexBytes(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char digits[4];
    for (std::uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", byte);
        text += (text.empty() ? "" : " ") + std::string(digits);
    }
    return text;
}

}  // namespace

SimSerialPorts::SimSerialPorts() : clock_([this] { runClock(); }) {}

SimSerialPorts::~SimSerialPorts() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    clock_.join();
}

void SimSerialPorts::attach(const std::string& com, SimSerialDevice device) {
    std::lock_guard<std::mutex> lock(lock_);
    devices_[com] = std::move(device);
}

SimSerialDevice SimSerialPorts::device(const std::string& com) const {
    std::lock_guard<std::mutex> lock(lock_);
    auto found = devices_.find(com);
    return found != devices_.end() ? found->second : SimSerialDevice{};
}

void SimSerialPorts::arrive(const std::string& com, const std::vector<std::uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(lock_);
    for (auto& [handle, open] : ports_)
        if (open->com == com) deliver(*open, bytes);
}

void SimSerialPorts::endWaitsByThemselves(bool on) {
    std::lock_guard<std::mutex> lock(lock_);
    endWaitsByThemselves_ = on;
    changed_.notify_all();
}

std::size_t SimSerialPorts::queued(const std::string& com) const {
    std::lock_guard<std::mutex> lock(lock_);
    std::size_t count = 0;
    for (const auto& [handle, open] : ports_)
        if (open->com == com) count += open->input.size();
    return count;
}

bool SimSerialPorts::waiting(const std::string& com) const {
    std::lock_guard<std::mutex> lock(lock_);
    for (const auto& [handle, open] : ports_)
        if (open->com == com && open->waitPending) return true;
    return false;
}

int SimSerialPorts::openObjects() const {
    std::lock_guard<std::mutex> lock(lock_);
    return static_cast<int>(events_.size() + ports_.size());
}

int SimSerialPorts::emptyWaitEnds() const {
    std::lock_guard<std::mutex> lock(lock_);
    return emptyWaitEnds_;
}

std::vector<SimErrorBox> SimSerialPorts::errorBoxes() const {
    std::lock_guard<std::mutex> lock(lock_);
    return errorBoxes_;
}

std::vector<std::string> SimSerialPorts::log() const {
    std::lock_guard<std::mutex> lock(lock_);
    return log_;
}

void SimSerialPorts::record(const std::string& entry) {
    log_.push_back(entry);
}

SimSerialPorts::Port* SimSerialPorts::port(Handle handle) {
    auto found = ports_.find(handle);
    return found != ports_.end() ? found->second.get() : nullptr;
}

SimSerialDevice* SimSerialPorts::deviceOf(const Port& open) {
    auto found = devices_.find(open.com);
    return found != devices_.end() ? &found->second : nullptr;
}

void SimSerialPorts::signal(Handle event) {
    auto found = events_.find(event);
    if (found != events_.end()) found->second = true;
    changed_.notify_all();
}

// --- events ------------------------------------------------------------------------------------

Handle SimSerialPorts::createEvent() {
    std::lock_guard<std::mutex> lock(lock_);
    Handle event = nextHandle_++;
    events_[event] = false;
    return event;
}

void SimSerialPorts::setEvent(Handle event) {
    std::lock_guard<std::mutex> lock(lock_);
    signal(event);
}

void SimSerialPorts::resetEvent(Handle event) {
    std::lock_guard<std::mutex> lock(lock_);
    auto found = events_.find(event);
    if (found != events_.end()) found->second = false;
}

bool SimSerialPorts::closeEvent(Handle event) {
    std::lock_guard<std::mutex> lock(lock_);
    return events_.erase(event) == 1;
}

int SimSerialPorts::waitAny(const std::vector<Handle>& events, std::uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(lock_);
    int index = -1;
    auto signalled = [&] {
        for (std::size_t i = 0; i < events.size(); ++i) {
            auto found = events_.find(events[i]);
            // WaitForMultipleObjects fails at once on a handle that is not open.
            if (found == events_.end() || found->second) {
                index = found == events_.end() ? -1 : static_cast<int>(i);
                return true;
            }
        }
        return false;
    };
    if (timeoutMs == waitForever)
        changed_.wait(lock, signalled);
    else
        changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), signalled);
    return index;
}

// --- ports -------------------------------------------------------------------------------------

Result<Handle> SimSerialPorts::openPort(const std::string& deviceName, Handle lineEvent) {
    std::lock_guard<std::mutex> lock(lock_);
    std::string com = deviceName.rfind(devicePrefix, 0) == 0 ? deviceName.substr(4) : deviceName;
    record("CreateFile " + com);
    auto found = devices_.find(com);
    if (found == devices_.end()) return Result<Handle>::failure(win_error::fileNotFound);
    if (found->second.busy) return Result<Handle>::failure(win_error::accessDenied);
    ++found->second.opens;
    auto open = std::make_shared<Port>();
    open->com = com;
    open->lineEvent = lineEvent;
    Handle handle = nextHandle_++;
    ports_[handle] = open;
    return handle;
}

void SimSerialPorts::closePort(Handle handle) {
    std::lock_guard<std::mutex> lock(lock_);
    auto found = ports_.find(handle);
    if (found == ports_.end()) return;
    record("CloseHandle " + found->second->com);
    // A pending wait ends as aborted, signalling its event.
    if (found->second->waitPending) endWait(*found->second, 0, io_error::operationAborted);
    found->second->closed = true;
    ports_.erase(found);
    changed_.notify_all();
}

bool SimSerialPorts::setupComm(Handle handle, std::uint32_t inQueue, std::uint32_t) {
    std::lock_guard<std::mutex> lock(lock_);
    Port* open = port(handle);
    if (!open || open->vanished) return false;
    open->inputCapacity = inQueue;
    return true;
}

bool SimSerialPorts::setTimeouts(Handle handle, const CommTimeouts&) {
    std::lock_guard<std::mutex> lock(lock_);
    Port* open = port(handle);
    return open && !open->vanished;
}

bool SimSerialPorts::setMask(Handle handle, std::uint32_t mask) {
    std::lock_guard<std::mutex> lock(lock_);
    Port* open = port(handle);
    if (!open || open->vanished) return false;
    open->mask = mask;
    return true;
}

Result<std::uint32_t> SimSerialPorts::mask(Handle handle) {
    std::lock_guard<std::mutex> lock(lock_);
    Port* open = port(handle);
    if (!open || open->vanished) return Result<std::uint32_t>::failure(io_error::badCommand);
    return open->mask;
}

bool SimSerialPorts::configure(Handle handle, char eventCharacter, const std::string& definition) {
    std::lock_guard<std::mutex> lock(lock_);
    Port* open = port(handle);
    if (!open || open->vanished) return false;
    open->eventCharacter = eventCharacter;
    record("BuildCommDCB " + open->com + " " + definition);
    if (SimSerialDevice* device = deviceOf(*open)) device->definitions.push_back(definition);
    return true;
}

bool SimSerialPorts::purge(Handle handle, std::uint32_t flags) {
    std::lock_guard<std::mutex> lock(lock_);
    Port* open = port(handle);
    if (!open || open->vanished) return false;
    record("PurgeComm " + open->com);
    if (flags & purgeRxClear) {
        open->input.clear();
        open->flagCharacterSeen = false;
    }
    return true;
}

Result<CommStatus> SimSerialPorts::clearError(Handle handle) {
    std::lock_guard<std::mutex> lock(lock_);
    Port* open = port(handle);
    if (!open || open->vanished) return Result<CommStatus>::failure(io_error::badCommand);
    return CommStatus{0, static_cast<std::uint32_t>(open->input.size())};
}

// The events a wait would report now: a byte in the queue, the event character seen.
std::uint32_t SimSerialPorts::eventsToReport(Port& open) {
    std::uint32_t events = 0;
    if ((open.mask & comm_event::rxChar) && !open.input.empty()) events |= comm_event::rxChar;
    if ((open.mask & comm_event::rxFlag) && open.flagCharacterSeen) events |= comm_event::rxFlag;
    open.flagCharacterSeen = false;
    return events;
}

void SimSerialPorts::endWait(Port& open, std::uint32_t events, std::uint32_t error) {
    open.waitPending = false;
    open.waitEvents = events;
    open.waitError = error;
    signal(open.lineEvent);
}

void SimSerialPorts::deliver(Port& open, const std::vector<std::uint8_t>& bytes) {
    if (open.vanished) return;
    SimSerialDevice* device = deviceOf(open);
    for (std::uint8_t byte : bytes) {
        if (device) ++device->bytesSent;
        // A full input queue loses what comes in (an overrun), as the driver's does.
        if (open.input.size() >= open.inputCapacity) {
            if (device) ++device->bytesOverrun;
            continue;
        }
        open.input.push_back(byte);
        if (static_cast<char>(byte) == open.eventCharacter) open.flagCharacterSeen = true;
    }
    if (open.waitPending) {
        if (std::uint32_t events = eventsToReport(open)) endWait(open, events, 0);
    }
    changed_.notify_all();
}

Result<std::uint32_t> SimSerialPorts::waitEvent(Handle handle) {
    std::lock_guard<std::mutex> lock(lock_);
    Port* open = port(handle);
    if (!open) return Result<std::uint32_t>::failure(win_error::invalidHandle);
    if (open->vanished) return Result<std::uint32_t>::failure(io_error::badCommand);
    // One event wait at a time, as Wine has it.
    if (open->waitPending) return Result<std::uint32_t>::failure(io_error::invalidParameter);
    if (std::uint32_t events = eventsToReport(*open)) {
        endWait(*open, events, 0);
        return events;
    }
    open->waitPending = true;
    auto event = events_.find(open->lineEvent);
    if (event != events_.end()) event->second = false;
    return Result<std::uint32_t>::failure(io_error::pending);
}

Result<std::uint32_t> SimSerialPorts::eventWaitResult(Handle handle) {
    std::lock_guard<std::mutex> lock(lock_);
    Port* open = port(handle);
    if (!open) return Result<std::uint32_t>::failure(win_error::invalidHandle);
    if (open->waitPending) return Result<std::uint32_t>::failure(ioIncomplete);
    if (open->waitError != 0) return Result<std::uint32_t>::failure(open->waitError);
    return open->waitEvents;
}

std::vector<std::uint8_t> SimSerialPorts::take(Port& open, SimSerialDevice* device, std::uint32_t count) {
    std::size_t taken = std::min<std::size_t>({count, readBlockSize, open.input.size()});
    std::vector<std::uint8_t> bytes(open.input.begin(), open.input.begin() + static_cast<long>(taken));
    open.input.erase(open.input.begin(), open.input.begin() + static_cast<long>(taken));
    if (device) device->bytesRead += taken;
    return bytes;
}

Result<std::vector<std::uint8_t>> SimSerialPorts::read(Handle handle, std::uint32_t count) {
    using Bytes = std::vector<std::uint8_t>;
    std::lock_guard<std::mutex> lock(lock_);
    Port* open = port(handle);
    if (!open) return Result<Bytes>::failure(win_error::invalidHandle);
    if (open->vanished) return Result<Bytes>::failure(io_error::badCommand);
    SimSerialDevice* device = deviceOf(*open);
    if (device && device->failReads) return Result<Bytes>::failure(io_error::badCommand);
    open->pendingRead = count;
    if (open->input.size() < count || (device && device->readPendsMs > 0))
        return Result<Bytes>::failure(io_error::pending);
    return take(*open, device, count);
}

Result<std::vector<std::uint8_t>> SimSerialPorts::readResult(Handle handle) {
    using Bytes = std::vector<std::uint8_t>;
    std::unique_lock<std::mutex> lock(lock_);
    auto found = ports_.find(handle);
    if (found == ports_.end()) return Result<Bytes>::failure(win_error::invalidHandle);
    std::shared_ptr<Port> open = found->second;
    SimSerialDevice* device = deviceOf(*open);
    auto until = Clock::now() + (device && device->readPendsMs > 0 ? std::chrono::milliseconds(device->readPendsMs)
                                                                    : readTimeout);
    changed_.wait_until(lock, until, [&] {
        return open->closed || open->vanished ||
               (open->input.size() >= open->pendingRead && !(device && device->readPendsMs > 0));
    });
    if (open->closed) return Result<Bytes>::failure(io_error::operationAborted);
    if (open->vanished) return Result<Bytes>::failure(io_error::badCommand);
    // A read that timed out brings what had come by then.
    return take(*open, device, open->pendingRead);
}

Result<std::uint32_t> SimSerialPorts::write(Handle handle, const std::vector<std::uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(lock_);
    Port* open = port(handle);
    if (!open) return Result<std::uint32_t>::failure(win_error::invalidHandle);
    if (open->vanished) return Result<std::uint32_t>::failure(io_error::badCommand);
    record("WriteFile " + open->com + " " + hexBytes(bytes));
    SimSerialDevice* device = deviceOf(*open);
    if (device) {
        device->written.push_back(bytes);
        if (!open->streamStart) open->streamStart = Clock::now();
        if (device->vanishAfterWrite) {
            open->vanished = true;
            if (open->waitPending) endWait(*open, 0, io_error::badCommand);
        } else if (!device->answer.empty()) {
            std::shared_ptr<Port> target = ports_[handle];
            std::vector<std::uint8_t> answer = device->answer;
            schedule_.emplace(Clock::now() + std::chrono::milliseconds(device->answerDelayMs),
                              [this, target, answer] { if (!target->closed) deliver(*target, answer); });
            changed_.notify_all();
        }
    }
    return static_cast<std::uint32_t>(bytes.size());
}

Result<std::uint32_t> SimSerialPorts::writeResult(Handle handle) {
    std::lock_guard<std::mutex> lock(lock_);
    if (!port(handle)) return Result<std::uint32_t>::failure(win_error::invalidHandle);
    return std::uint32_t{0};
}

void SimSerialPorts::errorBox(const std::string& text, const std::string& caption, std::uint32_t style) {
    std::lock_guard<std::mutex> lock(lock_);
    record("MessageBox " + caption);
    errorBoxes_.push_back({text, caption, style});
}

// Streaming devices send what their rate owes since the port was opened. True while one is
// streaming, so that the clock comes back a millisecond later.
bool SimSerialPorts::stream() {
    bool streaming = false;
    for (auto& [handle, open] : ports_) {
        SimSerialDevice* device = deviceOf(*open);
        if (!device || device->streamBytesPerSecond == 0 || open->vanished || !open->streamStart) continue;
        streaming = true;
        auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - *open->streamStart);
        std::uint64_t owed = static_cast<std::uint64_t>(elapsed.count()) * device->streamBytesPerSecond / 1000000;
        if (owed <= open->streamed) continue;
        std::vector<std::uint8_t> bytes(owed - open->streamed);
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>('A' + (open->streamed + i) % 26);
        open->streamed = owed;
        deliver(*open, bytes);
    }
    return streaming;
}

// Delivers the devices' answers when they are due and the streaming devices' bytes; in
// Wine's manner also ends pending waits without an event every millisecond.
void SimSerialPorts::runClock() {
    std::unique_lock<std::mutex> lock(lock_);
    while (!stopping_) {
        auto next = schedule_.empty() ? Clock::now() + std::chrono::milliseconds(50) : schedule_.begin()->first;
        bool streaming = stream();
        if (endWaitsByThemselves_ || streaming) next = std::min(next, Clock::now() + std::chrono::milliseconds(1));
        changed_.wait_until(lock, next);
        while (!schedule_.empty() && schedule_.begin()->first <= Clock::now()) {
            auto action = std::move(schedule_.begin()->second);
            schedule_.erase(schedule_.begin());
            action();
        }
        if (!endWaitsByThemselves_ || Clock::now() - lastEmptyEnd_ < std::chrono::milliseconds(1)) continue;
        lastEmptyEnd_ = Clock::now();
        for (auto& [handle, open] : ports_) {
            if (!open->waitPending) continue;
            ++emptyWaitEnds_;
            endWait(*open, 0, 0);
        }
    }
}

}  // namespace setup::sim
