// serial_check: the program's serial line and serial prompt on the Windows API, for the
// Wine suite, with COM ports backed by socat pty pairs and printer_emulator on the far end.
// Prints "ok - <check>", "FAIL - <check>: <detail>" and "figure - <what>: <value>" lines.
//
//   serial_check.exe probe <answering n> <silent n> <unopenable n> [rounds]
//       probes as the serial search does (open, status query, 700 ms, close) and measures;
//       checks that a long answer ("SEQ" brings 00..FF back) is read whole and brings the
//       dialog one WM_SERIAL_BYTE, its first byte
//   serial_check.exe stream <n> [seconds] [rounds]
//       COMn's printer never stops sending after the query (printer_emulator --stream):
//       measures the close, the bytes read a second and the CPU a second of streaming
//   serial_check.exe label <n>     sends the label status query on COMn (the emulator logs it)
//   serial_check.exe prompt        shows dialog 136 and prints its answer
//   serial_check.exe add-printer <name> <port> <printer with the driver to use>
//                                  creates a printer beside the installed one
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/win32_main_window.h"
#include "platform/win32/win32_platform.h"
#include "ports/serial_search.h"
#include "ports/serial_line.h"
#include "ports/serial_prompt_dialog.h"

namespace {

using namespace setup;

int failures = 0;
const std::uint8_t receiptQuery[] = {0x10, 0x04, 0x01};
const std::uint8_t labelQuery[] = {0x1B, 0x21, 0x3F};
const std::uint8_t sequenceRequest[] = {0x53, 0x45, 0x51};

void check(const std::string& name, bool passed, const std::string& detail = {}) {
    std::printf("%s - %s%s\n", passed ? "ok" : "FAIL", name.c_str(), passed || detail.empty() ? "" : (": " + detail).c_str());
    std::fflush(stdout);
    if (!passed) ++failures;
}

void figure(const std::string& what, std::vector<double> values, const char* unit = "ms") {
    std::sort(values.begin(), values.end());
    std::printf("figure - %s: min %.2f median %.2f max %.2f %s\n", what.c_str(), values.front(),
                values[values.size() / 2], values.back(), unit);
    std::fflush(stdout);
}

double nowMs() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double processCpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& t) { return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e4; };
    return ms(kernel) + ms(user);
}

// A message-only window on this thread that takes the line's notifications, as the main
// dialog does.
class OwnerWindow : public SerialLineOwner {
public:
    OwnerWindow() {
        WNDCLASSA type{};
        type.lpfnWndProc = procedure;
        type.hInstance = GetModuleHandleA(nullptr);
        type.lpszClassName = "SerialCheckOwner";
        RegisterClassA(&type);
        window_ = CreateWindowExA(0, type.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, type.hInstance, nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    void sendSerialMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
        SendMessageA(window_, message, wParam, lParam);
    }
    void waitServing(WorkerThread& worker) override { win32::waitServingSentMessages(worker); }

    // Runs this thread's messages for a while, as the dialog's loop would.
    void pump(double milliseconds, const std::function<bool()>& done = [] { return false; }) {
        double end = nowMs() + milliseconds;
        while (!done()) {
            double left = end - nowMs();
            if (left <= 0) return;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left) + 1, QS_ALLINPUT);
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        }
    }

    std::vector<std::uint8_t> bytes;
    std::vector<LPARAM> ports;
    double firstByteAt = 0;
    int flagNotifications = 0;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<OwnerWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self != nullptr && message == serial_message::byte) {
            if (self->bytes.empty()) self->firstByteAt = nowMs();
            self->bytes.push_back(static_cast<std::uint8_t>(wParam));
            self->ports.push_back(lParam);
            return 0;
        }
        if (self != nullptr && message == serial_message::flagChar) {
            ++self->flagNotifications;
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    HWND window_ = nullptr;
};

struct Bench {
    win32::Win32SerialPorts ports;
    win32::Win32System system;
    OwnerWindow owner;
    SerialLine line{ports, system};

    bool start(int port, const std::uint8_t* query) {
        owner.bytes.clear();
        owner.ports.clear();
        owner.flagNotifications = 0;
        if (!line.Open(owner, port, 19200, 'N', 8, 1, 3, 512) || !line.StartMonitor()) return false;
        line.Write(query, 3);
        return true;
    }
    double close() {
        double begin = nowMs();
        line.Close();
        return nowMs() - begin;
    }
    // One probe as the search makes it; returns its cost in ms.
    double probe(int port, const std::uint8_t* query, double& answerMs) {
        double begin = nowMs();
        if (start(port, query)) owner.pump(serialProbeMs);
        close();
        answerMs = owner.bytes.empty() ? -1 : owner.firstByteAt - begin;
        return nowMs() - begin;
    }
};

int probeRounds(int answering, int silent, int unopenable, int rounds) {
    Bench bench;
    std::vector<double> silentCost, answeringCost, answerDelay, unopenableCost, closeWait, cpu, flags;
    for (int round = 0; round < rounds; ++round) {
        double answerMs = 0;
        double cpuBefore = processCpuMs();
        silentCost.push_back(bench.probe(silent, receiptQuery, answerMs));
        cpu.push_back(processCpuMs() - cpuBefore);
        check("silent COM" + std::to_string(silent) + " brings no byte (round " + std::to_string(round + 1) + ")", answerMs < 0);
        flags.push_back(bench.owner.flagNotifications);

        answeringCost.push_back(bench.probe(answering, receiptQuery, answerMs));
        check("answering COM" + std::to_string(answering) + " answers the receipt query within the probe (round " +
                  std::to_string(round + 1) + ")",
              answerMs >= 0 && bench.owner.bytes == std::vector<std::uint8_t>{0x12},
              std::to_string(bench.owner.bytes.size()) + " bytes");
        if (answerMs >= 0) answerDelay.push_back(answerMs);

        double begin = nowMs();
        int opened = bench.line.Open(bench.owner, unopenable, 19200, 'N', 8, 1, 3, 512);
        unopenableCost.push_back(nowMs() - begin);
        bench.line.Close();
        check("COM" + std::to_string(unopenable) + " cannot be opened (round " + std::to_string(round + 1) + ")", opened == 0);

        bench.start(silent, receiptQuery);
        bench.owner.pump(50);
        closeWait.push_back(bench.close());
    }

    // A long answer is read whole; the dialog hears of its first byte, once, with the port.
    bench.start(answering, sequenceRequest);
    bench.owner.pump(5000, [&] { return bench.line.bytesRead() >= 256; });
    bench.owner.pump(100);
    std::uint64_t read = bench.line.bytesRead();
    bench.close();
    check("a 256-byte answer is read whole", read == 256, std::to_string(read) + " bytes read");
    check("a 256-byte answer brings one WM_SERIAL_BYTE with its first byte",
          bench.owner.bytes == std::vector<std::uint8_t>{0x00}, std::to_string(bench.owner.bytes.size()) + " messages");
    check("every notification names the port",
          std::all_of(bench.owner.ports.begin(), bench.owner.ports.end(), [&](LPARAM p) { return p == answering; }));

    // Closing a port with a read pending: the records outlive the close.
    std::vector<double> closeRead;
    for (int round = 0; round < rounds; ++round) {
        Handle event = bench.ports.createEvent();
        Result<Handle> port = bench.ports.openPort("\\\\.\\COM" + std::to_string(silent), event);
        if (!port) break;
        bench.ports.setTimeouts(*port, CommTimeouts{0, 0, 5000, 0, 0});
        Result<std::vector<std::uint8_t>> pending = bench.ports.read(*port, 1);
        if (pending || pending.error() != io_error::pending) std::printf("note - the read did not stay pending\n");
        double begin = nowMs();
        bench.ports.closePort(*port);
        closeRead.push_back(nowMs() - begin);
        bench.ports.closeEvent(event);
    }

    // Many openings leave nothing behind and never hang.
    DWORD handlesBefore = 0, handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
    double begin = nowMs();
    const int cycles = 300;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        bench.start(answering, receiptQuery);
        bench.close();
    }
    double cyclesMs = nowMs() - begin;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    check(std::to_string(cycles) + " open/write/close cycles leave no handle behind", handlesAfter <= handlesBefore,
          std::to_string(handlesBefore) + " before, " + std::to_string(handlesAfter) + " after");

    figure("probe of a silent port", silentCost);
    figure("probe of an answering port", answeringCost);
    if (!answerDelay.empty()) figure("first byte after the start of the probe", answerDelay);
    figure("probe of a port that cannot be opened", unopenableCost);
    figure("close with the event wait pending", closeWait);
    if (!closeRead.empty()) figure("closePort with a read pending", closeRead);
    figure("process CPU during one silent probe", cpu);
    figure("flag notifications during one silent probe", flags, "");
    std::printf("figure - %d open/write/close cycles: %.0f ms\n", cycles, cyclesMs);
    return failures == 0 ? 0 : 1;
}

// A printer that keeps sending after the query: the line keeps up, the dialog hears of it
// once, and closing never waits for the stream.
int stream(int port, int seconds, int rounds) {
    Bench bench;
    std::vector<double> closeMs, bytesPerSecond, cpuPerSecond, messages;
    for (int round = 1; round <= rounds; ++round) {
        if (!bench.start(port, receiptQuery)) {
            check("COM" + std::to_string(port) + " opens", false);
            break;
        }
        bench.owner.pump(500);  // the stream is running
        std::uint64_t readBefore = bench.line.bytesRead();
        double cpuBefore = processCpuMs(), begin = nowMs();
        bench.owner.pump(seconds * 1000.0);
        double elapsedS = (nowMs() - begin) / 1000.0;
        bytesPerSecond.push_back(static_cast<double>(bench.line.bytesRead() - readBefore) / elapsedS);
        cpuPerSecond.push_back((processCpuMs() - cpuBefore) / elapsedS);
        messages.push_back(static_cast<double>(bench.owner.bytes.size() + bench.owner.flagNotifications) /
                           (elapsedS + 0.5));
        double closed = bench.close();
        closeMs.push_back(closed);
        const std::string tag = " (round " + std::to_string(round) + ")";
        check("closing a line whose printer keeps sending returns within 100 ms" + tag, closed < 100.0,
              std::to_string(closed) + " ms");
        // The line hands over the first byte after the opening and the first after the query:
        // a printer already sending when the port opens may bring both, never one per byte.
        const std::size_t heard = bench.owner.bytes.size();
        check("the stream brings the dialog one WM_SERIAL_BYTE, or one more for a byte before the query" + tag,
              heard == 1 || heard == 2, std::to_string(heard));
    }
    if (closeMs.empty()) return 1;
    figure("close with the printer sending without end", closeMs);
    figure("bytes read a second while the printer sends", bytesPerSecond, "B/s");
    figure("process CPU a second of streaming", cpuPerSecond, "ms/s");
    figure("notifications a second of streaming", messages, "/s");
    return failures == 0 ? 0 : 1;
}

int label(int port) {
    Bench bench;
    double answerMs = 0;
    bench.probe(port, labelQuery, answerMs);
    check("the label query was answered", answerMs >= 0);
    return failures == 0 ? 0 : 1;
}

int prompt() {
    const win32::RegisteredMessage update(updateMessageName);
    win32::Win32MainWindow window(update);
    SerialPromptDialog dialog(window);
    std::printf("prompt-answer = 0x%X\n", static_cast<unsigned>(dialog.DoModal()));
    return 0;
}

int addPrinter(const std::string& name, const std::string& port, const std::string& like) {
    win32::Win32Spooler spooler;
    Result<std::vector<PrinterRecord>> printers = spooler.enumPrinters(printerEnumLocalConnections);
    std::string driver;
    if (printers)
        for (const PrinterRecord& printer : *printers)
            if (printer.printerName == like) driver = printer.driverName;
    check("the printer " + like + " is installed", !driver.empty());
    if (driver.empty()) return 1;
    Result<Handle> added = spooler.addPrinter(PrinterRecord{name, port, driver, "WinPrint", "RAW"});
    check("printer " + name + " added on " + port, static_cast<bool>(added), "error " + std::to_string(added.error()));
    if (added) spooler.closePrinter(*added);
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "probe" && argc >= 5)
        return probeRounds(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), argc > 5 ? std::atoi(argv[5]) : 5);
    if (mode == "label" && argc >= 3) return label(std::atoi(argv[2]));
    if (mode == "stream" && argc >= 3)
        return stream(std::atoi(argv[2]), argc > 3 ? std::atoi(argv[3]) : 5, argc > 4 ? std::atoi(argv[4]) : 3);
    if (mode == "prompt") return prompt();
    if (mode == "add-printer" && argc >= 5) return addPrinter(argv[2], argv[3], argv[4]);
    std::fprintf(stderr, "usage: serial_check probe <answering n> <silent n> <unopenable n> [rounds] | stream <n> "
                         "[seconds] [rounds] | label <n> | prompt\n");
    return 2;
}
