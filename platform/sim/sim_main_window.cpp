#include "platform/sim/sim_main_window.h"

namespace setup::sim {

SimMainWindow::~SimMainWindow() {
    if (thread_.joinable()) {
        if (!closed_) onDialogThread([this] { endDialog(message_box::idCancel); });
        thread_.join();
    }
}

void SimMainWindow::open(MainWindowEvents& events) {
    events_ = &events;
    thread_ = std::thread([this] { runDialog(); });
}

void SimMainWindow::runDialog() {
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        dialogThreadId_ = std::this_thread::get_id();
    }
    events_->onInitDialog();
    std::unique_lock<std::mutex> lock(queueLock_);
    while (!ended_) {
        if (!serveOne(lock, untilNextTimer())) fireDueTimer(lock);
    }
    timers_.clear();
    lock.unlock();
    events_->onDestroy();
    {
        // Tests read it with the controls' lock held (waitFor).
        std::lock_guard<std::recursive_mutex> controlsLock(controls_);
        destroyed = true;
    }
    lock.lock();
    closed_ = true;
    // Whatever was still sent to the window finds it gone.
    while (!queue_.empty()) serveOne(lock, std::chrono::milliseconds(0));
    queueChanged_.notify_all();
}

bool SimMainWindow::serveOne(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds wait) {
    if (queue_.empty()) queueChanged_.wait_for(lock, wait, [this] { return !queue_.empty(); });
    if (queue_.empty()) return false;
    auto task = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    task();
    lock.lock();
    return true;
}

void SimMainWindow::send(const std::function<void()>& task) {
    // Before the dialog exists the calls are plain ones on the caller's thread.
    if (onDialogThreadNow() || !thread_.joinable()) return task();
    std::mutex doneLock;
    std::condition_variable doneChanged;
    bool done = false;
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        if (closed_) return;
        queue_.push_back([&] {
            if (!closed_) task();
            std::lock_guard<std::mutex> l(doneLock);
            done = true;
            doneChanged.notify_all();
        });
    }
    queueChanged_.notify_all();
    std::unique_lock<std::mutex> l(doneLock);
    doneChanged.wait(l, [&] { return done; });
}

void SimMainWindow::postToDialog(std::function<void()> task) {
    std::lock_guard<std::mutex> lock(queueLock_);
    if (ended_) return;
    queue_.push_back([this, task = std::move(task)] {
        bool gone = false;
        {
            std::lock_guard<std::mutex> l(queueLock_);
            gone = ended_;
        }
        if (!gone) task();
    });
    queueChanged_.notify_all();
}

void SimMainWindow::onDialogThread(const std::function<void()>& action) {
    send(action);
}

void SimMainWindow::chooseDriver(int index) {
    onDialogThread([&] {
        driverSelection = index;
        events_->onDriverSelectionChanged();
    });
}

void SimMainWindow::choosePortRow(std::optional<int> row) {
    onDialogThread([&] {
        for (std::size_t r = 0; r < portRows.size(); ++r) portRows[r].selected = row && static_cast<int>(r) == *row;
    });
}

void SimMainWindow::tickDefaultPrinterBox(bool ticked) {
    onDialogThread([&] { defaultPrinterTicked = ticked; });
}

bool SimMainWindow::waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        bool holds = false;
        {
            std::lock_guard<std::recursive_mutex> lock(controls_);
            holds = condition();
        }
        if (holds) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

bool SimMainWindow::waitClosed(std::chrono::milliseconds timeout) {
    if (!waitFor([this] { return destroyed; }, timeout)) return false;
    if (thread_.joinable()) thread_.join();
    return true;
}

int SimMainWindow::sendUpdateData(std::intptr_t wParam) {
    int answer = 0;
    send([&] { answer = events_->onUpdateData(wParam); });
    return answer;
}

#define CONTROLS std::lock_guard<std::recursive_mutex> controlsLock(controls_)

void SimMainWindow::setStatusLine(const std::string& text) {
    CONTROLS;
    if (text != status || statusHistory.empty()) {
        statusHistory.push_back(text);
        controlLog.push_back("status " + text);
    }
    status = text;
}
std::string SimMainWindow::statusLine() { CONTROLS; return status; }
void SimMainWindow::setDefaultPrinterBox(bool ticked) { CONTROLS; defaultPrinterTicked = ticked; }
bool SimMainWindow::defaultPrinterBox() { CONTROLS; return defaultPrinterTicked; }

void SimMainWindow::driverListReset() {
    CONTROLS;
    driverList.clear();
    driverSelection = -1;
}
void SimMainWindow::driverListAdd(const std::string& name) { CONTROLS; driverList.push_back(name); }
void SimMainWindow::driverListSelect(int index) {
    CONTROLS;
    driverSelection = index >= 0 && index < static_cast<int>(driverList.size()) ? index : -1;
}
int SimMainWindow::driverListSelection() { CONTROLS; return driverSelection; }
std::string SimMainWindow::driverListText() {
    CONTROLS;
    return driverSelection >= 0 ? driverList[driverSelection] : std::string();
}
void SimMainWindow::setPrinterName(const std::string& name) { CONTROLS; printerNameText = name; }
std::string SimMainWindow::printerName() { CONTROLS; return printerNameText; }

void SimMainWindow::portListDeleteAllItems() { CONTROLS; portRows.clear(); }
int SimMainWindow::portListColumnCount() { CONTROLS; return static_cast<int>(portColumns.size()); }
void SimMainWindow::portListDeleteColumn(int column) {
    CONTROLS;
    if (column >= 0 && column < static_cast<int>(portColumns.size())) portColumns.erase(portColumns.begin() + column);
}
std::uint32_t SimMainWindow::portListExtendedStyle() { CONTROLS; return portListStyle; }
void SimMainWindow::setPortListExtendedStyle(std::uint32_t style) { CONTROLS; portListStyle = style; }
void SimMainWindow::portListInsertColumn(int column, const std::string& heading, int widthPixels) {
    CONTROLS;
    portColumns.insert(portColumns.begin() + std::min<std::size_t>(column, portColumns.size()), {heading, widthPixels});
}
void SimMainWindow::portListInsertRow(int row, const std::string& text) {
    CONTROLS;
    portRows.insert(portRows.begin() + std::min<std::size_t>(row, portRows.size()), PortRow{{text, ""}, false});
}
void SimMainWindow::portListSetText(int row, int column, const std::string& text) {
    CONTROLS;
    if (row < 0 || row >= static_cast<int>(portRows.size())) return;
    auto& texts = portRows[row].texts;
    if (static_cast<int>(texts.size()) <= column) texts.resize(column + 1);
    texts[column] = text;
}
int SimMainWindow::portListRowCount() { CONTROLS; return static_cast<int>(portRows.size()); }
void SimMainWindow::portListSelect(int row) {
    CONTROLS;
    // A single-selection list drops the previous selection.
    for (std::size_t r = 0; r < portRows.size(); ++r) portRows[r].selected = static_cast<int>(r) == row;
}
bool SimMainWindow::portListIsSelected(int row) {
    CONTROLS;
    return row >= 0 && row < static_cast<int>(portRows.size()) && portRows[row].selected;
}

void SimMainWindow::enableInstall(bool enabled) {
    CONTROLS;
    installEnabled = enabled;
    controlLog.push_back(enabled ? "install on" : "install off");
}
std::string SimMainWindow::installCaption() { CONTROLS; return installText; }
void SimMainWindow::setInstallCaption(const std::string& caption) {
    CONTROLS;
    installText = caption;
    controlLog.push_back("caption " + caption);
}
void SimMainWindow::enableCancel(bool enabled) { CONTROLS; cancelEnabled = enabled; }
void SimMainWindow::setProgress(int position) { CONTROLS; progressHistory.push_back(position); }

int SimMainWindow::messageBox(const std::string& text, const std::string& caption, std::uint32_t style) {
    CONTROLS;
    messageBoxes.push_back({text, caption, style});
    if (!answers.empty()) {
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    switch (style & 0xF) {
        case message_box::retryCancel: return message_box::idRetry;
        case message_box::yesNo: return message_box::idYes;
        default: return message_box::idOk;
    }
}

void SimMainWindow::endDialog(int result) {
    {
        CONTROLS;
        if (!endResult) endResult = result;
    }
    std::lock_guard<std::mutex> lock(queueLock_);
    ended_ = true;
    queueChanged_.notify_all();
}

// Timers tick on the dialog's thread, as WM_TIMER does: only when no sent message is waiting,
// and a timer set again starts counting afresh.
void SimMainWindow::setTimer(std::uintptr_t timerId, std::uint32_t milliseconds) {
    {
        CONTROLS;
        timersSet.emplace_back(timerId, milliseconds);
    }
    std::lock_guard<std::mutex> lock(queueLock_);
    std::chrono::milliseconds interval(milliseconds);
    timers_[timerId] = RunningTimer{interval, std::chrono::steady_clock::now() + interval};
    queueChanged_.notify_all();
}

void SimMainWindow::killTimer(std::uintptr_t timerId) {
    {
        CONTROLS;
        timersKilled.push_back(timerId);
    }
    std::lock_guard<std::mutex> lock(queueLock_);
    timers_.erase(timerId);
}

std::chrono::milliseconds SimMainWindow::untilNextTimer() const {
    auto wait = std::chrono::milliseconds(50);
    auto now = std::chrono::steady_clock::now();
    for (const auto& [id, timer] : timers_)
        wait = std::min(wait, std::chrono::duration_cast<std::chrono::milliseconds>(timer.due - now));
    return std::max(wait, std::chrono::milliseconds(0));
}

bool SimMainWindow::fireDueTimer(std::unique_lock<std::mutex>& lock) {
    auto now = std::chrono::steady_clock::now();
    for (auto& [id, timer] : timers_) {
        if (timer.due > now) continue;
        timer.due = now + timer.interval;
        std::uintptr_t timerId = id;
        lock.unlock();
        events_->onTimer(timerId);
        lock.lock();
        return true;
    }
    return false;
}

void SimMainWindow::waitServing(WorkerThread& worker) {
    if (!onDialogThreadNow()) {
        while (!worker.finished()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return;
    }
    std::unique_lock<std::mutex> lock(queueLock_);
    while (!worker.finished()) serveOne(lock, std::chrono::milliseconds(1));
}

void SimMainWindow::sendSerialMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    constexpr std::uint32_t serialByte = 0x0407;
    send([&] {
        {
            CONTROLS;
            serialMessages.push_back({message, wParam, lParam});
        }
        if (message == serialByte) events_->onSerialByte(static_cast<int>(wParam), static_cast<int>(lParam));
    });
}

const std::vector<std::string> SimMainWindow::baudEntries{"300",   "1200",  "2400",  "4800",  "9600",
                                                          "19200", "38400", "57600", "115200"};

int SimMainWindow::runSerialPrompt(SerialPromptEvents& events) {
    SerialPromptRecord view(static_cast<int>(baudEntries.size()));
    events.onInit(view);
    SimPromptAnswer answer;
    {
        CONTROLS;
        promptPreselections.push_back(view.selection);
        if (!promptAnswers.empty()) {
            answer = promptAnswers.front();
            promptAnswers.pop_front();
        }
    }
    if (answer.entry >= 0) view.selectBaudEntry(answer.entry);
    switch (answer.how) {
        case SimPromptAnswer::Yes: events.onYes(view); break;
        case SimPromptAnswer::No: events.onNo(view); break;
        case SimPromptAnswer::Enter: view.end(message_box::idOk); break;
        case SimPromptAnswer::Escape:
        case SimPromptAnswer::CloseBox: view.end(message_box::idCancel); break;
    }
    return view.result.value_or(message_box::idCancel);
}

}  // namespace setup::sim
