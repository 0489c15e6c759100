#pragma once

// The seam's behaviour the program relies on, written once: the same checks run natively on
// the simulated Windows (tests/core) and under Wine on the real calls (tools/wine). A check a
// platform is known to fail says so where it stands, with the reason, as Wine's own tests mark
// theirs; a marked check that passes is a failure too, so that the mark goes once the gap closes.

#include <string>
#include <vector>

#include "platform/platform.h"

namespace setup::seam_checks {

struct Outcome {
    bool passed = false;
    std::string detail;  // what was seen, for a failure
};

// The platforms the checks run on.
enum class Target { Sim, Wine };

struct Check {
    const char* name;
    // Runs on the platform, in a folder of its own that exists and is empty.
    Outcome (*run)(Platform& platform, const std::string& folder);
    // Why Wine fails this check; null when it passes there.
    const char* wineGap = nullptr;
    // Why the simulated Windows fails it; null when it passes there.
    const char* simGap = nullptr;
};

const std::vector<Check>& checks();

// The known gap of the check on the target; null when there is none.
const char* gapOn(const Check& check, Target target);

// How a check's outcome counts on a target: passed as expected, failed, a known gap seen, or a
// marked gap that no longer fails.
enum class Verdict { Passed, Failed, KnownGap, GapClosed };
Verdict verdictOf(const Check& check, Target target, const Outcome& outcome);

}  // namespace setup::seam_checks
