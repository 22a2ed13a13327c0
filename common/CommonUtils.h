// Small portable helpers: the shared integer conversion, path utilities, text comparison
// and the Adler-32 checksum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The integer conversion used for version parts, INI booleans, "#" registry values and
// icon numbers: leading blanks, one sign, hex after "$", "x", "X" or "0x", else decimal;
// fails on leftover characters (a trailing blank included), no digits, or 32-bit overflow.
bool TryStrToInt(std::string_view text, int32_t& value);
int32_t StrToIntDef(std::string_view text, int32_t defaultValue);

// ASCII case-insensitive comparison (only A-Z and a-z are folded).
bool SameText(std::string_view a, std::string_view b);
char AsciiLower(char c);

// Path utilities (Windows paths with backslashes).
std::string IncludeDelimiter(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);
std::string JoinPaths(const std::string& a, const std::string& b, const std::string& c);
std::string BaseFileName(const std::string& path);
struct TSplitResult {
    bool Found;
    std::string Before;
    std::string After;
};
TSplitResult SplitString(const std::string& text, char separator);

// Full path of the running program's executable, and its folder with a trailing delimiter
// (backslash on Windows, slash elsewhere).
std::string ProgramFileName();
std::string ProgramDirectory();

// True when a packed DOS date-time (date in the high word) names a real calendar date and
// time: month 1..12, a day that exists in that month, hours below 24, minutes and seconds
// below 60.
bool IsValidDosDateTime(uint32_t dosDateTime);

// Adler-32 (RFC 1950) continued from adler over len bytes; start with 1.
uint32_t Adler32(uint32_t adler, const void* data, size_t len);
