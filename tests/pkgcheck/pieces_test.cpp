// The machine of a PE file as its bytes stream past, in blocks of any size; the window an
// LZMA coder of a package needs, against the 32-bit DLL's ceiling.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "archiver/core/folder_decoder.h"
#include "archiver/core/lzma_decoder.h"
#include "pkgcheck/pe_machine.h"

namespace setup::pkgcheck {
namespace {

std::string readAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::optional<std::uint16_t> machineOf(const std::string& bytes, std::size_t block) {
    PeMachineProbe probe;
    for (std::size_t at = 0; at < bytes.size(); at += block) {
        std::size_t size = std::min(block, bytes.size() - at);
        probe.feed(reinterpret_cast<const std::uint8_t*>(bytes.data() + at), size);
    }
    return probe.machine();
}

TEST(PeMachineProbe, ReadsTheMachineWhateverTheBlocks) {
    const std::string dll32 = readAll(PKGCHECK_SAMPLE32);
    const std::string dll64 = readAll(PKGCHECK_SAMPLE64);
    if (dll32.empty() || dll64.empty()) GTEST_SKIP() << "needs the sample DLLs (mingw-w64)";
    for (std::size_t block : {std::size_t{1}, std::size_t{7}, std::size_t{64}, std::size_t{65536}}) {
        EXPECT_EQ(machineOf(dll32, block), machineI386) << block;
        EXPECT_EQ(machineOf(dll64, block), machineAmd64) << block;
    }
}

TEST(PeMachineProbe, NotAPeFile) {
    EXPECT_EQ(machineOf("plain text, long enough to hold a DOS header and more besides it....", 5), std::nullopt);
    // A DOS header whose PE header lies beyond the end of the file.
    std::string cut(64, '\0');
    cut[0] = 'M', cut[1] = 'Z', cut[0x3C] = char(0x80);
    EXPECT_EQ(machineOf(cut + std::string(0x40, '\0'), 16), std::nullopt);
    // The PE header's signature must be whole.
    std::string wrong = cut + std::string(0x40, '\0') + std::string("PX\0\0\x4c\x01", 6);
    EXPECT_EQ(machineOf(wrong, 16), std::nullopt);
    std::string right = cut + std::string(0x40, '\0') + std::string("PE\0\0\x4c\x01", 6);
    EXPECT_EQ(machineOf(right, 16), machineI386);
}

archiver::FolderInfo oneCoder(std::uint64_t method, std::vector<std::uint8_t> properties, std::uint64_t size) {
    archiver::FolderInfo folder;
    archiver::CoderInfo coder;
    coder.method = method;
    coder.properties = std::move(properties);
    folder.coders.push_back(coder);
    folder.unpack_sizes.push_back(size);
    return folder;
}

TEST(CoderWindow, TheSmallerOfDictionaryAndDataAgainstThe32BitCeiling) {
    constexpr std::uint64_t lzma2 = 0x21, lzma = 0x030101, copy = 0;
    constexpr std::uint64_t gib = std::uint64_t{1} << 30;
    // LZMA2 property 40: a 4 GiB dictionary; the data decides.
    EXPECT_GT(archiver::coder_window_size(oneCoder(lzma2, {40}, gib), 0), archiver::kMaxWindowSize32);
    EXPECT_LT(archiver::coder_window_size(oneCoder(lzma2, {40}, 700u << 20), 0), archiver::kMaxWindowSize32);
    // LZMA with a 64 MiB dictionary over 1 GiB of data.
    EXPECT_EQ(archiver::coder_window_size(oneCoder(lzma, {0x5D, 0, 0, 0, 4}, gib), 0), (64u << 20) + 16);
    EXPECT_EQ(archiver::coder_window_size(oneCoder(copy, {}, gib), 0), 0u);
}

}  // namespace
}  // namespace setup::pkgcheck
