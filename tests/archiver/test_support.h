// Helpers for the archiver tests: scratch folders, trees compared with what 7zz extracts,
// and a minimal 7z writer for hand-made broken or hostile archives.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace archiver_test {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir();
    ~TempDir();
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / fs::path(name); }

private:
    fs::path path_;
};

std::string seven_zip();  // path of 7zz, or "" when not installed
bool run_seven_zip(const std::string& args);
std::string quote(const fs::path& p);

void write_file(const fs::path& path, const std::string& data);
std::string read_file(const fs::path& path);
std::vector<uint8_t> read_bytes(const fs::path& path);
void write_bytes(const fs::path& path, const std::vector<uint8_t>& data);

// Deterministic filler: text-like, random-like and x86-code-like data.
std::string text_data(size_t size, unsigned seed);
std::string random_data(size_t size, unsigned seed);
std::string code_like_data(size_t size, unsigned seed);

// Differences between two trees (names, kinds, contents, file times, permissions);
// empty when identical.
std::string compare_trees(const fs::path& expected, const fs::path& actual);
// Regular files anywhere under `root`, relative, sorted.
std::vector<std::string> list_tree(const fs::path& root);

// Runs the extractor in-process as the front ends do; returns the result code.
int extract(const std::string& command_line, std::string* report = nullptr);

// Hand-made archives: every entry stored (Copy), one folder per non-empty file.
struct RawEntry {
    std::string name;  // ASCII or UTF-8, stored as UTF-16
    std::string data;
    bool directory = false;
};
std::vector<uint8_t> make_stored_archive(const std::vector<RawEntry>& entries);

}  // namespace archiver_test
