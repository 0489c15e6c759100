// The seam's shared checks on the simulated Windows; the same table runs under Wine in
// tools/wine/platform_checks.
#include <gtest/gtest.h>

#include "tests/core/fixture.h"
#include "tests/platform/seam_checks.h"

namespace setup::test {

namespace {

using seam_checks::Target;
using seam_checks::Verdict;

class SeamCheck : public ::testing::TestWithParam<std::size_t> {};

TEST_P(SeamCheck, BehavesAsWindowsDoes) {
    const seam_checks::Check& check = seam_checks::checks()[GetParam()];
    TempRoot root;
    sim::SimWindows machine{root.path};
    Platform platform = machine.platform();
    const std::string folder = "C:\\seam-checks";
    ASSERT_EQ(machine.createFolderW(folder, "D:P(A;OICI;FA;;;BA)"), 0u);
    const seam_checks::Outcome outcome = check.run(platform, folder);
    switch (seam_checks::verdictOf(check, Target::Sim, outcome)) {
        case Verdict::Passed: break;
        case Verdict::KnownGap: GTEST_LOG_(INFO) << "known gap: " << check.simGap; break;
        case Verdict::Failed: ADD_FAILURE() << check.name << ": " << outcome.detail; break;
        case Verdict::GapClosed: ADD_FAILURE() << check.name << " passes: its gap mark must go"; break;
    }
}

std::string checkName(const ::testing::TestParamInfo<std::size_t>& info) {
    std::string name;
    bool upper = true;
    for (char c : std::string(seam_checks::checks()[info.param].name)) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
            upper = false;
        } else {
            upper = true;
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Table, SeamCheck, ::testing::Range<std::size_t>(0, seam_checks::checks().size()),
                         checkName);

// The verdict of a marked check: a gap seen is no failure, a gap that closed is.
TEST(SeamCheckVerdict, AMarkedGapCountsOnlyOnItsOwnPlatform) {
    const seam_checks::Check marked{"marked", nullptr, "Wine lacks it"};
    EXPECT_EQ(seam_checks::verdictOf(marked, Target::Wine, {false, "no"}), Verdict::KnownGap);
    EXPECT_EQ(seam_checks::verdictOf(marked, Target::Wine, {true, ""}), Verdict::GapClosed);
    EXPECT_EQ(seam_checks::verdictOf(marked, Target::Sim, {false, "no"}), Verdict::Failed);
    EXPECT_EQ(seam_checks::verdictOf(marked, Target::Sim, {true, ""}), Verdict::Passed);
}

}  // namespace
}  // namespace setup::test
