#pragma once

namespace setup {

// The two deliverables built from this tree. Each program's entry point hands its own
// value to the core; nothing at run time chooses between them.
enum class Program {
    MultiSetup,  // every receipt and label series
    SoloSetup,   // the single receipt series KV-310
};

}  // namespace setup
