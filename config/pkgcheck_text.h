#pragma once

// What the package checker says, exactly as it prints it. "{}" stands for a value, filled
// in order. Each finding says what is wrong, then what the installer would do about it.

namespace setup::pkgcheck_text {

constexpr const char* usage =
    "usage: pkgcheck [--json] [--program multisetup|solosetup] DriverData.Drv\n"
    "Checks a driver package as the installer would read it. Exit code: 0 nothing is an error,\n"
    "1 something is, 2 the package cannot be read at all.\n";
constexpr const char* unknownProgram = "pkgcheck: unknown program \"{}\" (multisetup or solosetup)\n";

// The severities and the checks, as the text and JSON reports name them.
constexpr const char* severityError = "error";
constexpr const char* severityWarning = "warning";
constexpr const char* severityNote = "note";
constexpr const char* checkArchive = "archive";
constexpr const char* checkPlaces = "places";
constexpr const char* checkNameList = "DriverName.cfg";
constexpr const char* checkFiles = "files";
constexpr const char* checkMachine = "machine";
constexpr const char* checkShape = "size";

// The archive.
constexpr const char* unreadable = "cannot be read: {}";
constexpr const char* installerUsesNothing = "unpacks nothing and offers no printer";
constexpr const char* dataDamaged = "{}";
constexpr const char* dataDamagedUnreached = "{}; {} more entries of its solid block cannot be reached";
constexpr const char* installerRemovesAll = "stops unpacking, removes what it wrote and offers no printer";
constexpr const char* methodUnsupported = "packed with {}, which 7-zip32.dll does not read ({} entries)";
constexpr const char* methodEncrypted = "encrypted ({}); 7-zip32.dll reads no encrypted package ({} entries)";
constexpr const char* installerRefusesPackage = "refuses the whole package and offers no printer";

// The places.
constexpr const char* outsidePlaces =
    "lies outside C:\\DriverName.cfg, C:\\Ticket\\ and C:\\Barcode\\";
constexpr const char* nameRefused = "{}";
constexpr const char* nameTooLong = "a part of its name has {} characters; Windows takes at most 255";
constexpr const char* installerUnpackFails = "fails to write it, removes what it wrote and offers no printer";
constexpr const char* storedAsLink = "is stored as a link";
constexpr const char* installerLinkAsFile = "writes the link's target as the text of an ordinary file";

// DriverName.cfg. Sections are numbered from 1, in file order.
constexpr const char* sectionSubject = "section {} [{}]";
constexpr const char* printerNameSubject = "{} PrintName{}";
constexpr const char* quotedName = "\"{}\"";
constexpr const char* nameListMissing = "the package has no DriverName.cfg";
constexpr const char* nameListEmpty = "DriverName.cfg has no section";
constexpr const char* installerEmptyList = "shows an empty driver list and installs nothing";
constexpr const char* sectionOutOfOrder =
    "stands at position {}, the place of \"{}\", but offers the printers of \"{}\" (position {})";
constexpr const char* installerWrongDriver = "installs the \"{}\" driver for its printers";
constexpr const char* sectionBeyondTables = "stands at position {}; {} has drivers for positions 1 to {} only";
constexpr const char* sectionBeyondBuffer =
    "its name does not fit in the {} bytes the installer reads the section names into";
constexpr const char* installerNoDriver = "offers its printers and refuses to install them: no driver";
constexpr const char* installerNeverSees = "never sees this section or its printers";
constexpr const char* printerNameRefused = "the printer name \"{}\" cannot be used: {}";
constexpr const char* installerRefusesName = "refuses to install it and says why";
constexpr const char* printerNameAtLimit = "the printer name \"{}\" has {} bytes, the most the installer reads";
constexpr const char* installerCutsName = "cuts a longer name there: check that it is whole";
constexpr const char* printerNameBehindGap = "the printer name \"{}\" stands behind {}, which is missing or empty";
constexpr const char* printerNamePastLimit = "the printer name \"{}\" stands past the {} keys the installer reads";
constexpr const char* installerNeverOffers = "never offers it";
constexpr const char* printerNameTwice = "is offered in sections {} and {}";
constexpr const char* installerTakesLast = "installs the driver of the last of them, \"{}\"";
constexpr const char* modelNotOffered = "offers no printer: the package does not offer \"{}\"";
constexpr const char* modelNotInList = "has no section: the package does not offer \"{}\"";
constexpr const char* installerListsNothing = "lists no printer for this model";

// Files per model.
constexpr const char* modelsMore = "\"{}\" and {} other models";
constexpr const char* fileMissing = "is missing; needed by {}";
constexpr const char* installerDriverFails =
    "fails to add the driver on this bitness (\"Failed to add the driver 2\")";
constexpr const char* fileCaseDiffers = "is stored as {}; the tables spell it {}";
constexpr const char* installerFindsAnyCase =
    "finds it, as Windows compares names without case; a copy unpacked elsewhere may not";
constexpr const char* fileUnneeded = "is needed by no printer DriverName.cfg offers";
constexpr const char* installerUnpacksOnly = "unpacks it and removes it again";

// Machine types.
constexpr const char* wrongMachine = "is a PE file for {}, in an {} folder";
constexpr const char* notPeFile = "is not a PE file";
constexpr const char* installerLoadFails = "registers it, and the spooler then fails to load it";
constexpr const char* machineX86 = "32-bit x86";
constexpr const char* machineX64 = "x64";
constexpr const char* machineOther = "machine 0x{}";

// Size and shape.
constexpr const char* windowBeyond32Bit =
    "decodes with a {} MiB window; the 32-bit 7-zip32.dll allocates at most {} MiB";
constexpr const char* installerWindowFails = "fails to unpack it and offers no printer; pack with a smaller -md";

// The report's head and summary.
constexpr const char* head = "pkgcheck {} for {}\n";
constexpr const char* findingLine = "{} [{}] {}: {}; the installer {}.\n";
constexpr const char* shapeLine = "{} files and {} folders, {} bytes unpacked; largest file {} ({} bytes)\n";
constexpr const char* countLine = "{} errors, {} warnings, {} notes: {}\n";
constexpr const char* verdictUsable = "the installer can use this package";
constexpr const char* verdictErrors = "the installer cannot use this package as it stands";
constexpr const char* verdictUnreadable = "the package cannot be read";

}  // namespace setup::pkgcheck_text
