// What pack refuses before it writes anything, decided once for pack and for check: names the
// archive or Windows cannot carry, and version texts that do not read back as written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/Version.h"

// Files of this size or more do not fit the archive's signed 32-bit sizes.
constexpr int64_t TwoGiB = int64_t(1) << 31;

// Why a file or folder name (UTF-8, as the file system gives it) cannot be stored, as the end
// of a sentence about it ("cannot be written in the Windows-1252 code page"); none when it can,
// and then stored receives its Windows-1252 bytes.
std::optional<std::string> NameRuleBroken(const std::string& utf8Name, std::string& stored);

// A version text as the setup program reads it, and whether it reads back as written.
// "1.20b2", "1.20-beta2" and "1.20 Beta 2" read as the final 1.20, "1.20 beta 123" as beta 12,
// "5.4" as 5.40: the setup program would install and register a version the vendor did not
// write. "1.0" reads as 1.00 and "5.4" as 5.40: the same value in another spelling, which
// loses nothing (SameValue). Raises EProgramVersionError for a text that is no version at all.
struct TVersionReading {
    TProgramVersion Version;
    bool AsWritten = false;
    bool SameValue = false; // not as written, but only zeros and a full stop are missing
};
TVersionReading ReadVersion(const std::string& text);
// The sentence for a text that does not read back as written.
std::string VersionNotAsWritten(const std::string& text, const TProgramVersion& version);

// The top-level files the setup program reads from its setup data, and otherwise from beside
// itself, where anybody who can write to the user's Downloads folder could put them. pack
// refuses a product without one of them, also with --ignore-errors.
extern const char* const RequiredProductFiles[3];
// Those of RequiredProductFiles that productFolder lacks as a file, compared in any letter
// case, as the setup program looks them up; and BundleInfo.ini when Setup.ini says IsBundle=1.
std::vector<std::string> MissingRequiredFiles(const std::string& productFolder);
