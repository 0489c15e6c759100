#pragma once

// What the programs say when /uninstall removes a printer: the question, the things removed,
// kept and left, as the log and the boxes give them. %s: a name, as the spooler spells it.

namespace setup::text {

// The question an attended removal asks first.
constexpr const char* removalQuestion = "Remove the printer %s and its driver?";

// The things removal deals with.
constexpr const char* removalPrinter = "the printer %s";
constexpr const char* removalDriver = "the driver %s (%s)";  // name, environment
constexpr const char* removalMonitor = "the language monitor %s";
constexpr const char* removalPort = "the port %s";
constexpr const char* removalRecord = "the installation record";

// Why a thing stays.
constexpr const char* keptUsedByPrinters = "the printer %s uses it";  // names, comma-separated
constexpr const char* keptNamedByDrivers = "the driver %s names it";
constexpr const char* keptNotAdded = "this installer did not add it";
constexpr const char* keptNoRecord = "no installation record says this installer added it";

// The log's lines and the closing box's text.
constexpr const char* removalRemovedLine = "Removed: %s";
constexpr const char* removalKeptLine = "Kept: %s, as %s";  // the thing, why
constexpr const char* removalNothing = "Nothing to remove: there is no printer %s and no installation record of it.";
constexpr const char* removalStopped = "The removal stopped: %s failed: %s.";  // the call, the system's text and error
constexpr const char* removalLeft = "Left: %s.";
constexpr const char* removalNothingLeft = "Nothing of it is left.";
constexpr const char* removalNotAsked = "The printer was not removed: the answer was No.";

}  // namespace setup::text
