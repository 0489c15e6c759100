// bench_serial: what probing serial ports costs with the program's serial line, on the
// simulated machine with Wine's habit of ending pending event waits every millisecond.
// Prints, each over a few rounds (minimum / median / maximum):
//   - probing one silent port, one answering port (open, query, 700 ms, close), and one port
//     that cannot be opened;
//   - closing a line with its event wait pending, and with a read pending (the device keeps
//     the read 50 ms);
//   - the process's CPU time during one silent probe (the monitor thread and the simulated
//     device clock);
//   - a printer that never stops sending at 115200 baud (11,520 bytes a second): closing the
//     line, the bytes read a second, the notifications a second, and the CPU a second of
//     streaming, with the same stream into a line that watches nothing as the baseline the
//     simulated device costs by itself.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/sim/sim_main_window.h"
#include "platform/sim/sim_windows.h"
#include "ports/serial_search.h"
#include "ports/serial_line.h"

namespace {

using namespace setup;
using Clock = std::chrono::steady_clock;

constexpr int rounds = 5;
const std::uint8_t receiptQuery[] = {0x10, 0x04, 0x01};

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
           usage.ru_stime.tv_usec / 1e3;
}

void print(const char* what, std::vector<double> figures, const char* unit = "ms") {
    std::sort(figures.begin(), figures.end());
    std::printf("%-52s min %8.2f  median %8.2f  max %8.2f %s\n", what, figures.front(), figures[figures.size() / 2],
                figures.back(), unit);
}

struct Bench {
    explicit Bench(const std::filesystem::path& root) : machine(root) {
        window.open(events);
        machine.serial.endWaitsByThemselves(true);
        machine.serial.attach("COM1", {});
        machine.serial.attach("COM2", sim::SimSerialDevice::answering({0x12}, 20));
        sim::SimSerialDevice busy;
        busy.busy = true;
        machine.serial.attach("COM3", busy);
        sim::SimSerialDevice slowRead = sim::SimSerialDevice::answering({0x12}, 1);
        slowRead.readPendsMs = 50;
        machine.serial.attach("COM4", slowRead);
        sim::SimSerialDevice streaming;
        streaming.streamBytesPerSecond = streamRate;
        machine.serial.attach("COM5", streaming);
    }
    ~Bench() {
        window.onDialogThread([&] { line.Close(); });
        window.clickCloseBox();
        window.waitClosed();
    }

    bool start(int port, std::uint32_t eventMask = 3) {
        bool started = false;
        window.onDialogThread([&] {
            started = line.Open(window, port, 19200, 'N', 8, 1, eventMask, 512) && line.StartMonitor();
            if (started) line.Write(receiptQuery, 3);
        });
        return started;
    }
    double close() {
        auto begin = Clock::now();
        window.onDialogThread([&] { line.Close(); });
        return msSince(begin);
    }
    // One probe as the search makes it: open, query, the 700 ms, close. Returns its cost.
    double probe(int port, bool& answered) {
        int before = events.bytes;
        auto begin = Clock::now();
        if (start(port)) std::this_thread::sleep_until(begin + std::chrono::milliseconds(serialProbeMs));
        close();
        answered = events.bytes > before;
        return msSince(begin);
    }

    // One second of a printer sending without end: what the line read and the process
    // spent meanwhile, then the close.
    struct StreamSecond {
        double bytesRead, notifications, cpuMs, closeMs;
    };
    StreamSecond streamSecond(std::uint32_t eventMask) {
        start(5, eventMask);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::uint64_t readBefore = line.bytesRead();
        std::size_t messagesBefore = 0;
        window.onDialogThread([&] { messagesBefore = window.serialMessages.size(); });
        double cpuBefore = cpuMs();
        auto begin = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        double seconds = msSince(begin) / 1000.0;
        StreamSecond second{};
        second.cpuMs = (cpuMs() - cpuBefore) / seconds;
        second.bytesRead = static_cast<double>(line.bytesRead() - readBefore) / seconds;
        window.onDialogThread([&] { second.notifications = static_cast<double>(window.serialMessages.size() - messagesBefore) / seconds; });
        second.closeMs = close();
        return second;
    }

    static constexpr unsigned streamRate = 11520;
    sim::SimWindows machine;
    sim::SimMainWindow window;
    sim::SimQuietEvents events{window};
    SerialLine line{machine.serial, machine};
};

}  // namespace

int main() {
    auto root = std::filesystem::temp_directory_path() / ("bench-serial-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root);
    {
        Bench bench(root);
        std::vector<double> silent, answering, unopenable, closeWait, closeRead, cpu;
        bool answered = false;
        for (int round = 0; round < rounds; ++round) {
            double cpuBefore = cpuMs();
            silent.push_back(bench.probe(1, answered));
            cpu.push_back(cpuMs() - cpuBefore);
            if (answered) std::printf("note: the silent port answered\n");
            answering.push_back(bench.probe(2, answered));
            if (!answered) std::printf("note: the answering port did not answer\n");
            auto begin = Clock::now();
            bench.start(3);
            unopenable.push_back(msSince(begin));

            bench.start(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            closeWait.push_back(bench.close());
            bench.start(4);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));  // answer in, read pending
            closeRead.push_back(bench.close());
        }
        std::printf("Serial probe on the simulated machine (%d rounds; probe window %u ms)\n", rounds, serialProbeMs);
        print("probe of a silent port", silent);
        print("probe of an answering port", answering);
        print("probe of a port that cannot be opened", unopenable);
        print("close with the event wait pending", closeWait);
        print("close with a read pending (device holds it 50 ms)", closeRead);
        print("process CPU during one silent probe", cpu);
        std::printf("%-52s %d\n", "pending waits ended without an event (all rounds)", bench.machine.serial.emptyWaitEnds());

        std::vector<double> closeStream, readRate, notifications, cpuStream, cpuBaseline;
        for (int round = 0; round < rounds; ++round) {
            Bench::StreamSecond watched = bench.streamSecond(3);
            closeStream.push_back(watched.closeMs);
            readRate.push_back(watched.bytesRead);
            notifications.push_back(watched.notifications);
            cpuStream.push_back(watched.cpuMs);
            cpuBaseline.push_back(bench.streamSecond(0).cpuMs);
        }
        std::printf("A printer sending without end at 115200 baud (%u bytes/s; %d rounds of 1 s)\n", Bench::streamRate,
                    rounds);
        print("close with the printer sending", closeStream);
        print("bytes read a second", readRate, "B/s");
        print("notifications to the dialog a second", notifications, "/s");
        print("process CPU a second of streaming", cpuStream, "ms/s");
        print("... of which the simulated device (nothing watched)", cpuBaseline, "ms/s");
    }
    std::filesystem::remove_all(root);
}
