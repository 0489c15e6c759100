// Times pkgcheck against `7zz t` (its own default threads, and one thread) on the same file:
// the sample package, and a package of about --size-mb MB made from the sample package's
// tree with real PE DLLs of the right machine added to its x86 and x64 folders (Wine's own,
// 32-bit ones into Ticket\x86, 64-bit ones into Ticket\x64), so that every check has work.
//
//   bench_pkgcheck --sample dist/DriverData.Drv [--work DIR] [--size-mb N] [--runs N]
//
// The grown package is kept in DIR between runs (delete DIR to rebuild it). Prints, per
// program and package, the best and the median wall time and the peak resident memory.
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Options {
    fs::path sample = "dist/DriverData.Drv";
    fs::path work = "/tmp/bench_pkgcheck";
    std::uint64_t sizeMb = 100;
    int runs = 3;
};

struct Timing {
    double seconds = 0;
    long peakKb = 0;
    int status = -1;
};

// Runs a program with its output discarded; wall time and the child's peak memory.
Timing timed(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t child = ::fork();
    if (child == 0) {
        int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    Timing timing;
    struct rusage usage {};
    int status = 0;
    ::wait4(child, &status, 0, &usage);
    timing.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    timing.peakKb = usage.ru_maxrss;
    timing.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return timing;
}

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

std::string quote(const fs::path& path) {
    std::string q = "'";
    for (char c : path.string()) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::uint64_t folderBytes(const fs::path& folder) {
    std::uint64_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) total += entry.file_size();
    return total;
}

// Adds Wine's DLLs, 32-bit to Ticket/x86 and 64-bit to Ticket/x64 in turn, until the tree
// holds `bytes`.
void grow(const fs::path& tree, std::uint64_t bytes) {
    const std::pair<fs::path, fs::path> sources[] = {
        {"/usr/lib/i386-linux-gnu/wine/i386-windows", tree / "Ticket" / "x86"},
        {"/usr/lib/x86_64-linux-gnu/wine/x86_64-windows", tree / "Ticket" / "x64"}};
    std::vector<std::vector<fs::path>> lists;
    for (const auto& source : sources) {
        std::vector<fs::path> files;
        std::error_code ignored;
        for (const auto& e : fs::directory_iterator(source.first, ignored))
            if (e.is_regular_file() && e.path().extension() == ".dll") files.push_back(e.path());
        std::sort(files.begin(), files.end());
        lists.push_back(std::move(files));
    }
    std::uint64_t total = folderBytes(tree);
    for (std::size_t i = 0; total < bytes; ++i) {
        bool any = false;
        for (std::size_t s = 0; s < lists.size() && total < bytes; ++s) {
            if (i >= lists[s].size()) continue;
            any = true;
            // A prefix keeps Wine's names apart from the package's own.
            std::string name = "W";
            name += lists[s][i].filename().string();
            fs::path target = sources[s].second / name;
            if (fs::exists(target)) continue;
            fs::copy_file(lists[s][i], target);
            total += fs::file_size(target);
        }
        if (!any) break;
    }
}

fs::path grownPackage(const Options& options) {
    fs::path package = options.work / ("grown-" + std::to_string(options.sizeMb) + "mb.Drv");
    if (fs::exists(package)) return package;
    fs::path tree = options.work / "tree";
    fs::remove_all(tree);
    fs::create_directories(tree);
    if (!run(std::string(BENCH_7ZZ) + " x -o" + quote(tree) + " " + quote(options.sample) + " >/dev/null")) return {};
    grow(tree, options.sizeMb << 20);
    if (!run("cd " + quote(tree) + " && " + BENCH_7ZZ + " a -t7z " + quote(package) + " . >/dev/null")) return {};
    fs::remove_all(tree);
    return package;
}

void bench(const std::string& label, const std::vector<std::string>& argv, int runs, double unpackedMb) {
    std::vector<Timing> timings;
    for (int i = 0; i < runs; ++i) timings.push_back(timed(argv));
    std::sort(timings.begin(), timings.end(), [](const Timing& a, const Timing& b) { return a.seconds < b.seconds; });
    const Timing& best = timings.front();
    const Timing& median = timings[timings.size() / 2];
    long peak = 0;
    for (const Timing& t : timings) peak = std::max(peak, t.peakKb);
    std::printf("  %-22s best %7.3f s  median %7.3f s  %7.1f MB/s unpacked  peak %6.1f MB  exit %d\n", label.c_str(),
                best.seconds, median.seconds, unpackedMb / best.seconds, peak / 1024.0, best.status);
}

// The unpacked size as 7zz lists it.
double unpackedMegabytes(const fs::path& package) {
    std::string command = std::string(BENCH_7ZZ) + " l " + quote(package) + " | tail -n 1";
    FILE* pipe = ::popen(command.c_str(), "r");
    double bytes = 0;
    if (pipe) {
        char line[512] = {};
        if (std::fgets(line, sizeof line, pipe)) std::sscanf(line + 20, "%lf", &bytes);
        ::pclose(pipe);
    }
    return bytes / (1 << 20);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i], value = argv[i + 1];
        if (name == "--sample") options.sample = value;
        else if (name == "--work") options.work = value;
        else if (name == "--size-mb") options.sizeMb = std::stoull(value);
        else if (name == "--runs") options.runs = std::max(1, std::stoi(value));
        else {
            std::fprintf(stderr, "usage: %s --sample DriverData.Drv [--work DIR] [--size-mb N] [--runs N]\n", argv[0]);
            return 2;
        }
    }
    if (!fs::exists(options.sample)) {
        std::fprintf(stderr, "no sample package at %s (tools/sample_package/make_package.sh build/native dist)\n",
                     options.sample.c_str());
        return 2;
    }
    fs::create_directories(options.work);
    fs::path grown = grownPackage(options);
    if (grown.empty()) {
        std::fprintf(stderr, "could not build the grown package in %s\n", options.work.c_str());
        return 1;
    }
    for (const fs::path& package : {options.sample, grown}) {
        const double unpacked = unpackedMegabytes(package);
        std::printf("%s: %.1f MB packed, %.1f MB unpacked, %d runs each\n", package.c_str(),
                    fs::file_size(package) / double(1 << 20), unpacked, options.runs);
        bench("pkgcheck", {BENCH_PKGCHECK, package.string()}, options.runs, unpacked);
        bench("7zz t", {BENCH_7ZZ, "t", package.string()}, options.runs, unpacked);
        bench("7zz t -mmt1", {BENCH_7ZZ, "t", "-mmt1", package.string()}, options.runs, unpacked);
    }
    return 0;
}
