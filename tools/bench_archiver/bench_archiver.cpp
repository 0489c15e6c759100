// Times extraction of one BCJ+LZMA2 archive (7-Zip's defaults) of 100+ MB of real PE DLLs:
// `7zz x -mmt1` against our extractor in-process and, optionally, against 7-zip32.dll
// loaded by sevenzip_dll_driver.exe under Wine.
//
//   bench_archiver [--work DIR] [--size-mb N] [--runs N]
//                  [--dll-driver sevenzip_dll_driver.exe --dll 7-zip32.dll [--wine wine]]
//
// The tree and the archive are kept in DIR between runs (delete DIR to rebuild them).
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archiver/core/command.h"
#include "archiver/core/posix_host.h"

namespace fs = std::filesystem;

namespace {

struct Options {
    fs::path work = "/tmp/bench_archiver";
    uint64_t size_mb = 150;
    int runs = 3;
    std::string dll_driver, dll, wine = "wine";
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

// Copies DLLs from Wine's 64- and 32-bit folders, alternating, until `bytes` are in.
uint64_t build_tree(const fs::path& tree, uint64_t bytes) {
    const fs::path sources[] = {"/usr/lib/x86_64-linux-gnu/wine/x86_64-windows", "/usr/lib/i386-linux-gnu/wine/i386-windows"};
    std::vector<std::vector<fs::path>> lists;
    for (const auto& dir : sources) {
        std::vector<fs::path> files;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(dir, ec))
            if (e.is_regular_file() && (e.path().extension() == ".dll" || e.path().extension() == ".exe")) files.push_back(e.path());
        std::sort(files.begin(), files.end());
        lists.push_back(std::move(files));
    }
    uint64_t total = 0;
    for (size_t i = 0; total < bytes; ++i) {
        bool any = false;
        for (size_t k = 0; k < lists.size() && total < bytes; ++k) {
            if (i >= lists[k].size()) continue;
            any = true;
            const fs::path target = tree / (k == 0 ? "x64" : "x86") / lists[k][i].filename();
            fs::create_directories(target.parent_path());
            fs::copy_file(lists[k][i], target, fs::copy_options::overwrite_existing);
            total += fs::file_size(target);
        }
        if (!any) break;
    }
    return total;
}

bool same_trees(const fs::path& a, const fs::path& b) {
    return run("diff -r -q " + quote(a.string()) + " " + quote(b.string()) + " >/dev/null");
}

std::string windows_path(const fs::path& p) {
    std::string s = "Z:" + p.string();
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

template <typename F>
double best_of(int runs, F&& once) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) best = std::min(best, once());
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i], v = argv[i + 1];
        if (k == "--work") o.work = v;
        else if (k == "--size-mb") o.size_mb = std::stoull(v);
        else if (k == "--runs") o.runs = std::max(1, std::stoi(v));
        else if (k == "--dll-driver") o.dll_driver = fs::absolute(v).string();
        else if (k == "--dll") o.dll = fs::absolute(v).string();
        else if (k == "--wine") o.wine = v;
        else {
            std::fprintf(stderr, "unknown option %s\n", k.c_str());
            return 2;
        }
    }
    const std::string seven = BENCH_7ZZ;
    if (seven.empty()) {
        std::fprintf(stderr, "7zz not found (apt-get install 7zip)\n");
        return 2;
    }
    const fs::path tree = o.work / "tree", archive = o.work / "DriverData.Drv";
    const fs::path ref = o.work / "out-7zz", ours = o.work / "out-ours", dll_out = o.work / "out-dll";
    fs::create_directories(o.work);
    if (!fs::exists(archive)) {
        fs::remove_all(tree);
        const uint64_t bytes = build_tree(tree, o.size_mb << 20);
        if (bytes < (o.size_mb << 20)) {
            std::fprintf(stderr, "only %llu MB of Wine DLLs found (apt-get install wine64 wine32)\n",
                         static_cast<unsigned long long>(bytes >> 20));
            if (bytes == 0) return 2;
        }
        std::printf("packing %.1f MB of DLLs with 7zz defaults (BCJ + LZMA2)...\n", bytes / 1048576.0);
        std::fflush(stdout);
        if (!run(quote(seven) + " a -bd -bso0 -bsp0 " + quote(archive.string()) + " " + quote(tree.string()) + "/*")) {
            std::fprintf(stderr, "7zz a failed\n");
            return 1;
        }
    }
    uint64_t unpacked = 0;
    for (const auto& e : fs::recursive_directory_iterator(tree))
        if (e.is_regular_file()) unpacked += e.file_size();
    std::printf("archive %s: %.1f MB packed, %.1f MB unpacked, best of %d runs\n", archive.c_str(),
                fs::file_size(archive) / 1048576.0, unpacked / 1048576.0, o.runs);

    // Runs alternate between the extractors so that disk write-back of earlier outputs
    // and other load fall on both alike; each keeps its best time.
    auto run_7zz = [&] {
        fs::remove_all(ref);
        const auto start = std::chrono::steady_clock::now();
        if (!run(quote(seven) + " x -mmt1 -y -bd -bso0 -bsp0 " + quote(archive.string()) + " -o" + quote(ref.string())))
            std::fprintf(stderr, "7zz x failed\n");
        return seconds_since(start);
    };
    archiver::PosixHost host;
    auto run_ours = [&] {
        fs::remove_all(ours);
        std::string report;
        const auto start = std::chrono::steady_clock::now();
        const int rc = archiver::run_command("x -y \"" + archive.string() + "\" -o\"" + ours.string() + "\" -hide", host,
                                             nullptr, report);
        const double t = seconds_since(start);
        if (rc != 0) std::fprintf(stderr, "our extraction failed: %s\n", report.c_str());
        return t;
    };
    double t7 = 1e30, tn = 1e30;
    for (int i = 0; i < o.runs; ++i) {
        t7 = std::min(t7, run_7zz());
        tn = std::min(tn, run_ours());
    }
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    const bool native_ok = same_trees(ref, ours);

    std::printf("\n%-34s %8.3f s  %7.1f MB/s\n", "7zz x -mmt1", t7, unpacked / 1048576.0 / t7);
    std::printf("%-34s %8.3f s  %7.1f MB/s  ratio %.2fx  (goal <= 1.20x)%s\n", "ours, native", tn,
                unpacked / 1048576.0 / tn, tn / t7, native_ok ? "" : "  OUTPUT DIFFERS");
    std::printf("%-34s %8ld MB\n", "peak RSS of this process", usage.ru_maxrss / 1024);

    if (!o.dll_driver.empty() && !o.dll.empty()) {
        const fs::path cmd_file = o.work / "dll-command.txt";
        std::ofstream(cmd_file) << "x -y \"" << windows_path(archive) << "\" -o\"" << windows_path(dll_out) << "\\\" -hide\n";
        double wall_best = 1e30;
        const double td = best_of(o.runs, [&] {
            fs::remove_all(dll_out);
            const fs::path log = o.work / "dll-run.txt";
            const auto start = std::chrono::steady_clock::now();
            run("WINEDEBUG=-all " + o.wine + " " + quote(o.dll_driver) + " " + quote(o.dll) + " @" +
                quote(windows_path(cmd_file)) + " >" + quote(log.string()) + " 2>&1");
            wall_best = std::min(wall_best, seconds_since(start));
            std::ifstream in(log);
            std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            const size_t at = text.find("seconds=");
            if (at == std::string::npos || text.find("result=0") == std::string::npos) {
                std::fprintf(stderr, "DLL run failed:\n%s\n", text.c_str());
                return 1e30;
            }
            return std::atof(text.c_str() + at + 8);
        });
        const bool dll_ok = same_trees(ref, dll_out);
        std::printf("%-34s %8.3f s  %7.1f MB/s  ratio %.2fx  (goal <= 1.50x)%s\n", "7-zip32.dll under Wine (in call)", td,
                    unpacked / 1048576.0 / td, td / t7, dll_ok ? "" : "  OUTPUT DIFFERS");
        std::printf("%-34s %8.3f s  (includes Wine start-up)\n", "7-zip32.dll under Wine (wall)", wall_best);
    }
    return native_ok ? 0 : 1;
}
