// Damaged, truncated, random and unsupported input fails cleanly: a non-zero result, a
// reason, and never a file with wrong content under its final name.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "archiver/core/archive_error.h"
#include "archiver/core/command.h"
#include "archiver/core/extractor.h"
#include "archiver/core/lzma_decoder.h"
#include "archiver/core/streams.h"
#include "test_support.h"

namespace archiver_test {
namespace {

#define REQUIRE_7ZZ() \
    if (seven_zip().empty()) GTEST_SKIP() << "7zz is not installed"

struct Fixture {
    TempDir tmp;
    fs::path archive;
    std::vector<uint8_t> bytes;

    explicit Fixture(const std::string& switches) {
        write_file(tmp / "src/code.dll", code_like_data(60000, 11));
        write_file(tmp / "src/notes.txt", text_data(30000, 12));
        write_file(tmp / "src/sub/data.bin", random_data(9000, 13));
        write_file(tmp / "src/sub/empty.txt", "");
        archive = tmp / "a.7z";
        if (!run_seven_zip("a " + switches + " " + quote(archive) + " " + quote(tmp.path() / "src") + "/*")) return;
        bytes = read_bytes(archive);
    }

    // Extracts `data` into a fresh folder; every file that exists afterwards must be one
    // of the originals with its exact content.
    int extract_checked(const std::vector<uint8_t>& data, std::string& report) {
        const fs::path damaged = tmp / "damaged.7z";
        const fs::path out = tmp / "out";
        std::error_code ec;
        fs::remove_all(out, ec);
        write_bytes(damaged, data);
        const int result = extract("x -y " + damaged.string() + " -o" + out.string(), &report);
        for (const auto& rel : list_tree(out)) {
            if (rel.back() == '/') continue;
            const fs::path original = tmp / "src" / rel;
            EXPECT_TRUE(fs::exists(original)) << "unexpected file " << rel << " (" << report << ")";
            if (fs::exists(original)) {
                EXPECT_TRUE(read_file(out / rel) == read_file(original)) << rel << " has wrong content";
            }
        }
        return result;
    }
};

TEST(Integrity, CrcMismatchInStoredDataFailsAndLeavesNoBadFile) {
    REQUIRE_7ZZ();
    Fixture f("-m0=Copy -mhc=off -ms=off");
    ASSERT_FALSE(f.bytes.empty());
    auto damaged = f.bytes;
    damaged[32 + 100] ^= 0x01;  // inside the first file's stored data
    std::string report;
    EXPECT_EQ(f.extract_checked(damaged, report), archiver::kResultCorrupt);
    EXPECT_NE(report.find("CRC"), std::string::npos) << report;
}

TEST(Integrity, CrcMismatchInHeaderFails) {
    REQUIRE_7ZZ();
    Fixture f("-mhc=off");
    ASSERT_FALSE(f.bytes.empty());
    auto damaged = f.bytes;
    damaged[damaged.size() - 10] ^= 0x40;
    std::string report;
    EXPECT_EQ(f.extract_checked(damaged, report), archiver::kResultCorrupt);
    EXPECT_NE(report.find("CRC"), std::string::npos) << report;
    EXPECT_FALSE(fs::exists(f.tmp / "out"));
}

class DamageSweep : public ::testing::TestWithParam<const char*> {};

// Every truncation point and many bit flips: no crash, no hang, no wrong file.
TEST_P(DamageSweep, TruncatedAndBitFlippedArchivesFailCleanly) {
    REQUIRE_7ZZ();
    Fixture f(GetParam());
    ASSERT_FALSE(f.bytes.empty());
    const auto start = std::chrono::steady_clock::now();
    std::string report;
    const size_t n = f.bytes.size();
    for (size_t cut = 0; cut < n; cut += 1 + n / 97) {
        std::vector<uint8_t> truncated(f.bytes.begin(), f.bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_NE(f.extract_checked(truncated, report), 0) << "truncated at " << cut;
    }
    std::mt19937 rng(42);
    int failures = 0;
    for (int i = 0; i < 300; ++i) {
        auto flipped = f.bytes;
        flipped[rng() % n] ^= static_cast<uint8_t>(1u << (rng() % 8));
        if (f.extract_checked(flipped, report) != 0) ++failures;
    }
    EXPECT_GT(failures, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(120));
}

INSTANTIATE_TEST_SUITE_P(Layouts, DamageSweep,
                         ::testing::Values("-m0=LZMA -ms=on", "-m0=LZMA2 -ms=off -mhc=off", "-mf=BCJ2", "-mf=Delta:2 -m0=LZMA2"));

TEST(Integrity, RandomInputIsNotAnArchive) {
    TempDir tmp;
    for (unsigned seed = 0; seed < 20; ++seed) {
        std::string data = random_data(1000 + seed * 500, seed);
        if (seed % 2) data.replace(0, 6, std::string("7z\xBC\xAF\x27\x1C", 6));
        write_file(tmp / "r.7z", data);
        std::string report;
        EXPECT_NE(extract("x -y " + (tmp / "r.7z").string() + " -o" + (tmp / "out").string(), &report), 0);
        EXPECT_FALSE(fs::exists(tmp / "out"));
    }
}

// An LZMA stream that claims a 1 GiB dictionary and a 1 TiB output but carries garbage
// fails without reserving either.
TEST(Integrity, HugeClaimedSizesDoNotAllocateUpFront) {
    const std::string garbage = std::string(1, '\0') + random_data(4000, 5);
    archiver::MemorySource source(reinterpret_cast<const uint8_t*>(garbage.data()), garbage.size());
    auto in = std::make_unique<archiver::PackStream>(source, 0, garbage.size());
    const std::vector<uint8_t> props = {0x5D, 0x00, 0x00, 0x00, 0x40};  // lc3 lp0 pb2, 1 GiB
    archiver::LzmaStream lzma(std::move(in), props, uint64_t{1} << 40);
    std::vector<uint8_t> buffer(1 << 16);
    uint64_t total = 0;
    EXPECT_THROW(
        {
            for (;;) {
                size_t got = lzma.read(buffer.data(), buffer.size());
                if (got == 0) break;
                total += got;
            }
        },
        archiver::ArchiveError);
    EXPECT_LT(total, uint64_t{64} << 20);
}

TEST(Integrity, DictionaryBeyondTheCeilingIsRefused) {
    const std::string data(64, '\0');
    archiver::MemorySource source(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    const std::vector<uint8_t> props = {0x5D, 0xFF, 0xFF, 0xFF, 0xFF};
    try {
        archiver::LzmaStream lzma(std::make_unique<archiver::PackStream>(source, 0, data.size()), props, uint64_t{1} << 40);
        ADD_FAILURE() << "a 4 GiB window was accepted";
    } catch (const archiver::ArchiveError& e) {
        EXPECT_EQ(e.kind(), archiver::ErrorKind::Limit);
    }
}

// A catalogue is bounded by a fixed count too, not only by the header's size.
TEST(Integrity, TooManyEntriesAreRefused) {
    TempDir tmp;
    std::vector<RawEntry> entries((1u << 18) + 1, RawEntry{"f", "", false});
    write_bytes(tmp / "many.7z", make_stored_archive(entries));
    std::string report;
    EXPECT_EQ(extract("x -y " + (tmp / "many.7z").string() + " -o" + (tmp / "out").string(), &report),
              archiver::kResultLimit)
        << report;
    EXPECT_FALSE(fs::exists(tmp / "out"));
    entries.resize(1000);
    write_bytes(tmp / "some.7z", make_stored_archive(entries));
    EXPECT_EQ(extract("x -y " + (tmp / "some.7z").string() + " -o" + (tmp / "out").string(), &report), 0) << report;
}

// LZMA takes lc 0..8, lp 0..4 and pb 0..4.
TEST(Integrity, LzmaContextBitsBeyondTheFormatAreRefused) {
    archiver::LzmaDecoder decoder;
    EXPECT_TRUE(decoder.configure(8, 4, 4));
    EXPECT_TRUE(decoder.configure(0, 0, 0));
    EXPECT_FALSE(decoder.configure(9, 0, 0));
    EXPECT_FALSE(decoder.configure(0, 5, 0));
    EXPECT_FALSE(decoder.configure(0, 0, 5));
}

// LZMA2 keeps lc + lp within 4. The first chunk's properties byte, (pb * 5 + lp) * 9 + lc,
// follows its control byte and three size bytes; the packed data starts at offset 32.
TEST(Integrity, Lzma2LiteralContextBitsBeyondFourAreRefused) {
    REQUIRE_7ZZ();
    Fixture f("-m0=LZMA2:lc=3:lp=1:pb=2 -mhc=off -ms=on");
    ASSERT_GT(f.bytes.size(), 37u);
    ASSERT_GE(f.bytes[32], 0xE0) << "the first chunk resets everything and gives properties";
    ASSERT_EQ(f.bytes[37], (2 * 5 + 1) * 9 + 3);
    std::string report;
    EXPECT_EQ(f.extract_checked(f.bytes, report), 0) << report;

    std::vector<uint8_t> lc3_lp2 = f.bytes;
    lc3_lp2[37] = (2 * 5 + 2) * 9 + 3;
    EXPECT_NE(f.extract_checked(lc3_lp2, report), 0);
    EXPECT_NE(report.find("LZMA2 properties are invalid"), std::string::npos) << report;

    // At the limit the properties are taken; the data, packed with others, then fails.
    std::vector<uint8_t> lc4_lp0 = f.bytes;
    lc4_lp0[37] = (2 * 5 + 0) * 9 + 4;
    EXPECT_NE(f.extract_checked(lc4_lp0, report), 0);
    EXPECT_EQ(report.find("properties are invalid"), std::string::npos) << report;
}

struct Unsupported {
    const char* name;
    const char* switches;
    const char* expected;
};

class UnsupportedMethods : public ::testing::TestWithParam<Unsupported> {};

TEST_P(UnsupportedMethods, FailAndNameTheMethod) {
    REQUIRE_7ZZ();
    Fixture f(GetParam().switches);
    ASSERT_FALSE(f.bytes.empty());
    std::string report;
    EXPECT_EQ(f.extract_checked(f.bytes, report), archiver::kResultUnsupported);
    EXPECT_NE(report.find(GetParam().expected), std::string::npos) << report;
    EXPECT_FALSE(fs::exists(f.tmp / "out"));
}

INSTANTIATE_TEST_SUITE_P(Methods, UnsupportedMethods,
                         ::testing::Values(Unsupported{"PPMd", "-m0=PPMd", "PPMd"},
                                           Unsupported{"BZip2", "-m0=BZip2", "BZip2"},
                                           Unsupported{"Deflate", "-m0=Deflate", "Deflate"},
                                           Unsupported{"Encrypted", "-pSecret -mhe=off", "encrypted"},
                                           Unsupported{"EncryptedHeader", "-pSecret -mhe=on", "encrypted"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace archiver_test
