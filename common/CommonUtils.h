// Small portable helpers, each written once for the whole program: the shared integer
// conversion, the text helpers (comparison, trimming, replacing, splitting) and the Adler-32
// checksum. No <windows.h> here: the packing tool and the native tests use them on Linux too.
// Paths and file names are in Path.h, DOS dates in DosDate.h, the registry in Registry.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The integer conversion used for version parts, INI booleans, "#" registry values and
// icon numbers: leading blanks, one sign, hex after "$", "x", "X" or "0x", else decimal;
// fails on leftover characters (a trailing blank included), no digits, or 32-bit overflow.
bool TryStrToInt(std::string_view text, int32_t& value);
int32_t StrToIntDef(std::string_view text, int32_t defaultValue);

// --- Text ------------------------------------------------------------------------------------

// ASCII case-insensitive comparison (only A-Z and a-z are folded): for keys, sections and
// words of the configuration. File names compare with SameFileName (Path.h).
bool SameText(std::string_view a, std::string_view b);
char AsciiLower(char c);
// text with A-Z lowered: the key under which SameText's equal names fall together.
std::string AsciiLowerCase(std::string_view text);

// The text without the blanks and control characters (codes 0 to 32) at both ends; characters
// of the upper half of the code page (accented letters) are kept.
std::string TrimText(const std::string& text);

// text with the first occurrence of symbol (letter case significant) replaced by value; an
// empty symbol replaces nothing.
std::string ReplaceFirst(const std::string& text, const std::string& symbol, const std::string& value);
// text with every occurrence of symbol replaced by value; the replacement is not scanned again.
std::string ReplaceAll(const std::string& text, const std::string& symbol, const std::string& value);

struct TSplitResult {
    bool Found;
    std::string Before;
    std::string After;
};
// Splits at the first occurrence of separator; without one, Before is the whole text.
TSplitResult SplitString(const std::string& text, char separator);

// Splits a text into lines at CR, LF or CR LF. A line break at the very end does not start
// another (empty) line.
std::vector<std::string> SplitLines(const std::string& text);

// Adler-32 (RFC 1950) continued from adler over len bytes; start with 1.
uint32_t Adler32(uint32_t adler, const void* data, size_t len);
