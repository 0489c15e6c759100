// printer_emulator: the far end of a serial line for the Wine suite and the serial benchmark.
//
//   printer_emulator <tty> <log-file> [--silent] [--delay-ms N] [--stream BYTES-PER-SECOND]
//
// Opens the tty (the other end of a socat pty pair that Wine sees as a COM port), puts it in
// raw mode and logs every byte written to the printer as hex, one line per read. With
// --stream it behaves like a printer stuck in a print loop: from the first query on it
// sends bytes without end at that rate (11520 is 115200 baud), in 10 ms slices. Unless
// silent, it answers like a printer after the delay (default 20 ms):
//   10 04 01 (real-time status, receipt)  -> 12
//   1B 21 3F (ESC ! ?, label)              -> 40
//   53 45 51 ("SEQ", a test request)       -> the 256 byte values 00 .. FF in order
// Runs until it is killed.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Request {
    std::vector<unsigned char> query;
    std::vector<unsigned char> answer;
};

std::vector<Request> requests() {
    std::vector<unsigned char> sequence;
    for (int value = 0; value < 256; ++value) sequence.push_back(static_cast<unsigned char>(value));
    return {{{0x10, 0x04, 0x01}, {0x12}}, {{0x1B, 0x21, 0x3F}, {0x40}}, {{0x53, 0x45, 0x51}, sequence}};
}

bool endsWith(const std::vector<unsigned char>& data, const std::vector<unsigned char>& tail) {
    return data.size() >= tail.size() && std::equal(tail.begin(), tail.end(), data.end() - static_cast<long>(tail.size()));
}

void writeAll(int fd, const std::vector<unsigned char>& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
        if (n <= 0) return;
        at += static_cast<std::size_t>(n);
    }
}

// Sends rate bytes a second, in slices every 10 ms, once started; until the process ends.
void streamWithoutEnd(int fd, int rate, const std::atomic<bool>& started) {
    using Clock = std::chrono::steady_clock;
    while (!started) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    auto begin = Clock::now();
    long long sent = 0;
    std::vector<unsigned char> slice;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - begin).count();
        long long owed = elapsed * rate / 1000000 - sent;
        if (owed <= 0) continue;
        slice.resize(static_cast<std::size_t>(owed));
        for (std::size_t i = 0; i < slice.size(); ++i) slice[i] = static_cast<unsigned char>('A' + (sent + i) % 26);
        writeAll(fd, slice);
        sent += owed;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <tty> <log-file> [--silent] [--delay-ms N]\n", argv[0]);
        return 2;
    }
    bool silent = false;
    int delayMs = 20;
    int streamRate = 0;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--silent") == 0) silent = true;
        else if (std::strcmp(argv[i], "--delay-ms") == 0 && i + 1 < argc) delayMs = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--stream") == 0 && i + 1 < argc) streamRate = std::atoi(argv[++i]);
    }
    int fd = ::open(argv[1], O_RDWR | O_NOCTTY);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    termios mode{};
    if (tcgetattr(fd, &mode) == 0) {
        cfmakeraw(&mode);
        tcsetattr(fd, TCSANOW, &mode);
    }
    FILE* log = std::fopen(argv[2], "a");
    if (log == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    std::atomic<bool> streaming{false};
    if (streamRate > 0) std::thread([fd, streamRate, &streaming] { streamWithoutEnd(fd, streamRate, streaming); }).detach();
    const std::vector<Request> known = requests();
    std::vector<unsigned char> received;
    unsigned char buffer[512];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            // The line's other end is not open (yet or any more): try again shortly.
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        if (n == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        for (ssize_t i = 0; i < n; ++i) std::fprintf(log, "%s%02X", i ? " " : "", buffer[i]);
        std::fprintf(log, "\n");
        std::fflush(log);
        received.insert(received.end(), buffer, buffer + n);
        if (streamRate > 0) streaming = true;
        if (silent) continue;
        for (const Request& request : known) {
            if (!endsWith(received, request.query)) continue;
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            writeAll(fd, request.answer);
            received.clear();
            break;
        }
    }
}
