#include <gtest/gtest.h>

#include "package/driver_name_list.h"
#include "tests/core/fixture.h"

namespace setup::test {

namespace {

using Sections = std::vector<std::vector<std::string>>;

struct DriverNameListTest : ::testing::Test {
    TempRoot root;
    sim::SimWindows machine{root.path};
    Sections read(const std::string& content) {
        machine.writeFile("C:\\DriverName.cfg", content);
        return readDriverNameSections(machine, "C:\\DriverName.cfg");
    }
};

TEST_F(DriverNameListTest, AGapInTheNumbersEndsTheSection) {
    EXPECT_EQ(read("[A]\r\nPrintName1=One\r\nPrintName2=Two\r\nPrintName4=Four\r\n[B]\r\nPrintName1=Five\r\n"),
              (Sections{{"One", "Two"}, {"Five"}}));
    EXPECT_EQ(read("[A]\r\nPrintName1=One\r\nPrintName2=\r\nPrintName3=Three\r\n"), (Sections{{"One"}}));
}

TEST_F(DriverNameListTest, AtMostFiftyNamesPerSection) {
    std::vector<std::string> sixty;
    for (int i = 1; i <= 60; ++i) sixty.push_back("Printer " + std::to_string(i));
    Sections sections = read(driverNameFile({sixty}));
    ASSERT_EQ(sections.size(), 1u);
    ASSERT_EQ(sections[0].size(), 50u);
    EXPECT_EQ(sections[0].back(), "Printer 50");
}

TEST_F(DriverNameListTest, ASectionWithoutNamesStillHoldsItsPosition) {
    Sections sections = read(driverNameFile({{"R1"}, {}, {"R3"}}));
    EXPECT_EQ(sections, (Sections{{"R1"}, {}, {"R3"}}));
    EXPECT_EQ(driverIndexOf(sections, "R3"), 2);
}

TEST_F(DriverNameListTest, TheLastSectionListingANameWins) {
    Sections sections = read(driverNameFile({{"Twice"}, {"Other"}, {"Other", "Twice"}}));
    EXPECT_EQ(driverIndexOf(sections, "Twice"), 2);
    EXPECT_EQ(driverIndexOf(sections, "twice"), std::nullopt);
    EXPECT_EQ(driverIndexOf(sections, "Nobody"), std::nullopt);
}

TEST_F(DriverNameListTest, LongSectionNamesAreReadWhole) {
    std::string longName(150, 'S');
    Sections sections = read("[" + longName + "]\r\nPrintName1=Long\r\n[B]\r\nPrintName1=After\r\n");
    EXPECT_EQ(sections, (Sections{{"Long"}, {"After"}}));
}

TEST_F(DriverNameListTest, PrinterNamesAreCutTo127Bytes) {
    Sections sections = read("[A]\r\nPrintName1=" + std::string(200, 'n') + "\r\n");
    EXPECT_EQ(sections[0][0], std::string(127, 'n'));
}

TEST_F(DriverNameListTest, SectionNamesBeyond3000BytesAreNotRead) {
    std::string content;
    for (int i = 0; i < 40; ++i) content += "[" + std::string(99, 'a' + i % 26) + std::to_string(i) + "]\r\nPrintName1=P" + std::to_string(i) + "\r\n";
    Sections sections = read(content);
    // 29 names of 102 bytes fit whole; the 30th is cut and names no section.
    ASSERT_EQ(sections.size(), 30u);
    EXPECT_EQ(sections[28], std::vector<std::string>{"P28"});
    EXPECT_TRUE(sections[29].empty());
}

TEST_F(DriverNameListTest, AMissingFileHasNoSections) {
    EXPECT_TRUE(readDriverNameSections(machine, "C:\\DriverName.cfg").empty());
}

}  // namespace
}  // namespace setup::test
