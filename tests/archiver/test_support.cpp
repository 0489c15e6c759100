#include "test_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "archiver/core/command.h"
#include "archiver/core/crc32.h"
#include "archiver/core/posix_host.h"

namespace archiver_test {

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "archiver_test_XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Read-only folders from the archives must not stop the clean-up.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::string seven_zip() { return ARCHIVER_7ZZ; }

bool run_seven_zip(const std::string& args) {
    const std::string cmd = quote(seven_zip()) + " " + args + " -bd -bso0 -bsp0 >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

std::string quote(const fs::path& p) {
    std::string s = "'";
    for (char c : p.string()) {
        if (c == '\'') s += "'\\''";
        else s += c;
    }
    return s + "'";
}

void write_file(const fs::path& path, const std::string& data) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<uint8_t> read_bytes(const fs::path& path) {
    const std::string s = read_file(path);
    return std::vector<uint8_t>(s.begin(), s.end());
}

void write_bytes(const fs::path& path, const std::vector<uint8_t>& data) {
    write_file(path, std::string(data.begin(), data.end()));
}

std::string text_data(size_t size, unsigned seed) {
    static const char* words[] = {"printer ", "driver ", "thermal ", "port ", "USB ", "install ", "\n", "paper ", "0x1F ", "status "};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < size) s += words[rng() % 10];
    s.resize(size);
    return s;
}

std::string random_data(size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
}

std::string code_like_data(size_t size, unsigned seed) {
    // Calls and jumps with nearby targets among ordinary bytes, as in x86 code, plus
    // AArch64-style BL/ADRP words, so the branch filters have work to do.
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < size) {
        const unsigned kind = rng() % 8;
        if (kind == 0 || kind == 1) {
            s += static_cast<char>(kind == 0 ? 0xE8 : 0xE9);
            const int32_t rel = static_cast<int32_t>(rng() % 0x20000) - 0x10000;
            for (int i = 0; i < 4; ++i) s += static_cast<char>(static_cast<uint32_t>(rel) >> (8 * i));
        } else if (kind == 2) {
            s += "\x0F\x85";
            for (int i = 0; i < 4; ++i) s += static_cast<char>(i < 2 ? rng() : 0);
        } else if (kind == 3) {
            const uint32_t word = (rng() & 1 ? 0x94000000u : 0x90000000u) | (rng() & 0x0003FFFF);
            for (int i = 0; i < 4; ++i) s += static_cast<char>(word >> (8 * i));
        } else {
            static const char ops[] = "\x55\x8B\xEC\x83\xEC\x10\x89\x45\xFC\x8B\x45\x08\x5D\xC3\x90\x33\xC0";
            s.append(ops + rng() % 10, 1 + rng() % 6);
        }
    }
    s.resize(size);
    return s;
}

std::vector<std::string> list_tree(const fs::path& root) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        out.push_back(fs::relative(it->path(), root).string() + (it->is_directory() ? "/" : ""));
    std::sort(out.begin(), out.end());
    return out;
}

std::string compare_trees(const fs::path& expected, const fs::path& actual) {
    std::ostringstream diff;
    const auto want = list_tree(expected), got = list_tree(actual);
    if (want != got) {
        diff << "entries differ:\n expected:";
        for (auto& e : want) diff << " " << e;
        diff << "\n actual:  ";
        for (auto& e : got) diff << " " << e;
        return diff.str();
    }
    for (const auto& rel : want) {
        const fs::path a = expected / fs::path(rel), b = actual / fs::path(rel);
        if (fs::last_write_time(a) != fs::last_write_time(b)) diff << rel << ": modification time differs\n";
        if (fs::status(a).permissions() != fs::status(b).permissions()) diff << rel << ": permissions differ\n";
        if (!fs::is_directory(a) && read_file(a) != read_file(b)) diff << rel << ": content differs\n";
    }
    return diff.str();
}

int extract(const std::string& command_line, std::string* report) {
    archiver::PosixHost host;
    std::string text;
    const int result = archiver::run_command(command_line, host, nullptr, text);
    if (report) *report = text;
    return result;
}

namespace {

class Writer {
public:
    std::vector<uint8_t> bytes;
    void byte(uint8_t b) { bytes.push_back(b); }
    void number(uint64_t v) {
        for (unsigned n = 0; n < 8; ++n) {
            if (v < (uint64_t{1} << (7 * (n + 1)))) {
                byte(static_cast<uint8_t>(((0xFF00u >> n) & 0xFF) | (v >> (8 * n))));
                for (unsigned i = 0; i < n; ++i) byte(static_cast<uint8_t>(v >> (8 * i)));
                return;
            }
        }
        byte(0xFF);
        for (unsigned i = 0; i < 8; ++i) byte(static_cast<uint8_t>(v >> (8 * i)));
    }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) byte(static_cast<uint8_t>(v >> (8 * i)));
    }
    void u64(uint64_t v) {
        for (int i = 0; i < 8; ++i) byte(static_cast<uint8_t>(v >> (8 * i)));
    }
    void bits(const std::vector<bool>& v) {
        for (size_t i = 0; i < v.size(); i += 8) {
            uint8_t b = 0;
            for (size_t k = 0; k < 8 && i + k < v.size(); ++k)
                if (v[i + k]) b |= static_cast<uint8_t>(0x80 >> k);
            byte(b);
        }
    }
    void append(const std::vector<uint8_t>& other) { bytes.insert(bytes.end(), other.begin(), other.end()); }
};

std::vector<uint8_t> utf16_name(const std::string& utf8) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < utf8.size();) {
        uint32_t c = static_cast<uint8_t>(utf8[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra) c &= 0x3F >> extra;
        for (int k = 1; k <= extra; ++k) c = (c << 6) | (static_cast<uint8_t>(utf8[i + k]) & 0x3F);
        i += 1 + extra;
        auto unit = [&](uint32_t u) {
            out.push_back(static_cast<uint8_t>(u));
            out.push_back(static_cast<uint8_t>(u >> 8));
        };
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

}  // namespace

std::vector<uint8_t> make_stored_archive(const std::vector<RawEntry>& entries) {
    Writer data, h;
    std::vector<const RawEntry*> with_data;
    std::vector<bool> empty_stream, empty_file;
    for (const auto& e : entries) {
        const bool empty = e.directory || e.data.empty();
        empty_stream.push_back(empty);
        if (empty) empty_file.push_back(!e.directory);
        else with_data.push_back(&e);
    }
    for (const auto* e : with_data) data.bytes.insert(data.bytes.end(), e->data.begin(), e->data.end());

    h.byte(0x01);  // header
    if (!with_data.empty()) {
        h.byte(0x04);  // main streams
        h.byte(0x06);  // pack info
        h.number(0);
        h.number(with_data.size());
        h.byte(0x09);
        for (const auto* e : with_data) h.number(e->data.size());
        h.byte(0x00);
        h.byte(0x07);  // unpack info
        h.byte(0x0B);
        h.number(with_data.size());
        h.byte(0);
        for (size_t i = 0; i < with_data.size(); ++i) {
            h.number(1);     // one coder
            h.byte(0x01);    // simple, 1-byte id
            h.byte(0x00);    // Copy
        }
        h.byte(0x0C);
        for (const auto* e : with_data) h.number(e->data.size());
        h.byte(0x0A);
        h.byte(1);
        for (const auto* e : with_data)
            h.u32(archiver::crc32(reinterpret_cast<const uint8_t*>(e->data.data()), e->data.size()));
        h.byte(0x00);
        h.byte(0x00);  // end of streams info
    }
    h.byte(0x05);  // files
    h.number(entries.size());
    if (std::find(empty_stream.begin(), empty_stream.end(), true) != empty_stream.end()) {
        Writer bits;
        bits.bits(empty_stream);
        h.byte(0x0E);
        h.number(bits.bytes.size());
        h.append(bits.bytes);
        Writer fbits;
        fbits.bits(empty_file);
        h.byte(0x0F);
        h.number(fbits.bytes.size());
        h.append(fbits.bytes);
    }
    Writer names;
    names.byte(0);
    for (const auto& e : entries) names.append(utf16_name(e.name));
    h.byte(0x11);
    h.number(names.bytes.size());
    h.append(names.bytes);
    h.byte(0x00);  // end of files
    h.byte(0x00);  // end of header

    Writer start;
    start.u64(data.bytes.size());
    start.u64(h.bytes.size());
    start.u32(archiver::crc32(h.bytes.data(), h.bytes.size()));
    Writer out;
    for (uint8_t b : {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C, 0x00, 0x04}) out.byte(b);
    out.u32(archiver::crc32(start.bytes.data(), start.bytes.size()));
    out.append(start.bytes);
    out.append(data.bytes);
    out.append(h.bytes);
    return out.bytes;
}

}  // namespace archiver_test
