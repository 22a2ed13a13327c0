// Small portable helpers, each written once for the whole program: the shared integer
// conversion, the text helpers (comparison, trimming, replacing, splitting), the path helpers
// and the Adler-32 checksum. No <windows.h> here: the packing tool and the native tests use
// them on Linux too. DOS dates are in DosDate.h, the registry in Registry.h.
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

// ASCII case-insensitive comparison (only A-Z and a-z are folded).
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

// --- Paths -----------------------------------------------------------------------------------
//
// Paths are Windows paths. Backslash and slash both separate folders, as they do for Windows
// itself, and a drive colon ends the drive part ("C:file" is file on drive C). The helpers
// below treat the three alike on every platform; POSIX paths (which contain neither "\" nor a
// drive colon) come out the same.

// True for "\" and "/".
bool IsPathDelimiter(char c);

// A trailing backslash added when the path lacks one; an empty path stays empty. Only the
// backslash counts as present: "a/" becomes "a/\".
std::string IncludeDelimiter(const std::string& path);
// The path without one trailing backslash or slash ("C:\" gives "C:").
std::string ExcludeDelimiter(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);
std::string JoinPaths(const std::string& a, const std::string& b, const std::string& c);

// The file name after the last backslash or colon, without its extension (from the last ".").
// A slash does not separate here: "x/y.z" gives "x/y".
std::string BaseFileName(const std::string& path);
// The folder part of a path: everything up to and including its last delimiter or drive colon;
// empty for a bare file name. "C:\a\b.txt" gives "C:\a\", "C:b.txt" gives "C:".
std::string FileFolder(const std::string& path);
// The folder that holds a file or folder, with its trailing delimiter: FileFolder of the path
// without its trailing delimiter. "C:\a\b\" gives "C:\a\"; "C:\" gives "C:" and "C:"
// gives "C:" again; a bare name has none (empty).
std::string ParentFolder(const std::string& path);
// The extension of the file name with its full stop ("C:\a.b\c.dll" gives ".dll"); empty
// when the name has none (a full stop in a folder name does not count).
std::string FileExtension(const std::string& path);
// The volume a full path lies on, without a trailing delimiter: "C:" of "C:\Program Files",
// "\\server\share" of "\\server\share\Programs" (as far as the path goes); empty for a
// relative path or a POSIX path.
std::string VolumeRoot(const std::string& path);

// True for a path that names its volume and starts at that volume's root: a drive letter with
// its colon and a delimiter ("C:\x", "C:/"), or a network share with a server and a share name
// ("\\server\share", "\\server\share\x"). "C:x" (relative to drive C's current folder),
// "\x" and "/x" (from the root of the current drive), a bare name and an empty path all depend
// on where the process happens to be.
bool IsFullPath(std::string_view path);

// Full path of the running program's executable, and its folder with a trailing delimiter
// (backslash on Windows, slash elsewhere).
std::string ProgramFileName();
std::string ProgramDirectory();

// Adler-32 (RFC 1950) continued from adler over len bytes; start with 1.
uint32_t Adler32(uint32_t adler, const void* data, size_t len);
