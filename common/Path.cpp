// The path helpers and the file-name key. No system calls here except through the platform
// layer (ProgramFileName, SystemFileNameKey).

#include "common/Path.h"

#include "common/CommonUtils.h"
#include "common/TextEncoding.h"

namespace {

// Where the folder part of a path ends: its last delimiter or drive colon.
constexpr const char* FolderEnds = "\\/:";

} // namespace

bool IsPathDelimiter(char c) {
    return c == '\\' || c == '/';
}

std::string IncludeDelimiter(const std::string& path) {
    if (path.empty() || path.back() == '\\')
        return path;
    return path + '\\';
}

std::string ExcludeDelimiter(const std::string& path) {
    if (!path.empty() && IsPathDelimiter(path.back()))
        return path.substr(0, path.size() - 1);
    return path;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return IncludeDelimiter(folder) + name;
}

std::string JoinPaths(const std::string& a, const std::string& b, const std::string& c) {
    return JoinPath(JoinPath(a, b), c);
}

std::string BaseFileName(const std::string& path) {
    const size_t cut = path.find_last_of("\\:");
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

std::string FileFolder(const std::string& path) {
    const size_t cut = path.find_last_of(FolderEnds);
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string ParentFolder(const std::string& path) {
    return FileFolder(ExcludeDelimiter(path));
}

std::string FileExtension(const std::string& path) {
    const size_t dot = path.find_last_of(std::string(FolderEnds) + '.');
    if (dot == std::string::npos || path[dot] != '.')
        return std::string();
    return path.substr(dot);
}

std::string VolumeRoot(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':')
        return path.substr(0, 2);
    if (path.size() >= 2 && IsPathDelimiter(path[0]) && IsPathDelimiter(path[1])) {
        // A network path: the server and the share, up to the delimiter after the share.
        const size_t server = path.find_first_of("\\/", 2);
        if (server == std::string::npos)
            return path;
        const size_t share = path.find_first_of("\\/", server + 1);
        return share == std::string::npos ? path : path.substr(0, share);
    }
    return std::string();
}

bool IsFullPath(std::string_view path) {
    const char letter = AsciiLower(path.empty() ? ' ' : path[0]);
    if (path.size() >= 3 && letter >= 'a' && letter <= 'z' && path[1] == ':' && IsPathDelimiter(path[2]))
        return true;
    if (path.size() < 2 || !IsPathDelimiter(path[0]) || !IsPathDelimiter(path[1]))
        return false;
    // The server's name, a delimiter and the share's name.
    const size_t server = path.find_first_of("\\/", 2);
    return server != std::string_view::npos && server > 2 && server + 1 < path.size() &&
           !IsPathDelimiter(path[server + 1]);
}

std::string ProgramDirectory() {
    return FileFolder(ProgramFileName());
}

#ifndef _WIN32
namespace {

// The upper-case letter of a lower-case one, as the file system's upcase table has it, for the
// scripts a product's names are written in: Latin-1, Latin Extended-A, Greek and Cyrillic. 0 for
// a character the table leaves alone: every other one, and the few that Windows' table treats
// apart from the usual rules (dotless i, long s, the micro sign, final sigma), which are left
// as they are rather than guessed.
uint32_t UpperLetter(uint32_t c) {
    if (c >= 'a' && c <= 'z')
        return c - 0x20;
    if (c < 0xE0)
        return 0;
    if (c <= 0xFE)
        return c == 0xF7 ? 0 : c - 0x20; // the division sign has no case
    if (c == 0xFF)
        return 0x178; // y with diaeresis: its capital lies in Latin Extended-A
    if (c <= 0x17F) {
        // Latin Extended-A: pairs, capital first, with the pairing shifted by one after the
        // letters that have no partner (i with and without dot, kra, n preceded by apostrophe).
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x178 || c == 0x17F)
            return 0;
        const bool oddIsLower = c < 0x139 || (c > 0x149 && c < 0x179);
        return (c % 2 == 1) == oddIsLower ? c - 1 : 0;
    }
    // Greek: the small letters with and without tonos. Final sigma keeps its own form: the
    // system's file-system casing leaves it (measured under Wine, whose table follows Windows').
    if ((c >= 0x3B1 && c <= 0x3C1) || (c >= 0x3C3 && c <= 0x3CB))
        return c - 0x20;
    if (c == 0x3AC)
        return 0x386;
    if (c >= 0x3AD && c <= 0x3AF)
        return c - 0x25;
    if (c == 0x3CC)
        return 0x38C;
    if (c == 0x3CD || c == 0x3CE)
        return c - 0x3F;
    // Cyrillic: the basic alphabet, the letters of the other Slavic languages above it, and the
    // pairs of the extended block.
    if (c >= 0x430 && c <= 0x44F)
        return c - 0x20;
    if (c >= 0x450 && c <= 0x45F)
        return c - 0x50;
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x4FF))
        return c % 2 == 1 ? c - 1 : 0;
    return 0;
}

// The key of a UTF-8 name: each letter of the table upper-cased; every other character, and
// bytes that are no UTF-8 at all, kept as they are.
std::string Utf8FileNameKey(std::string_view name) {
    std::string key;
    key.reserve(name.size());
    for (size_t at = 0; at < name.size();) {
        const size_t start = at;
        uint32_t c = 0;
        const uint32_t upper = DecodeUtf8(name, at, c) ? UpperLetter(c) : 0;
        if (at == start)
            ++at; // not a character: the byte stands for itself
        if (upper == 0) {
            key.append(name, start, at - start);
        } else if (upper < 0x80) {
            key += static_cast<char>(upper);
        } else {
            // Every letter of the table lies below U+0800: two bytes.
            key += static_cast<char>(0xC0 | upper >> 6);
            key += static_cast<char>(0x80 | (upper & 0x3F));
        }
    }
    return key;
}

} // namespace
#endif

std::string FileNameKey(std::string_view name, uint32_t codePage) {
#ifdef _WIN32
    return SystemFileNameKey(name, codePage);
#else
    if (codePage == CodePageUtf8)
        return Utf8FileNameKey(name);
    if (codePage == CodePageWindows1252)
        return Utf8FileNameKey(Windows1252ToUtf8(name));
    std::string key(name);
    for (char& c : key)
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c;
    return key;
#endif
}

std::string FileNameKey(std::string_view name) {
    return FileNameKey(name, RunningCodePage());
}

bool SameFileName(std::string_view a, std::string_view b) {
    return a == b || FileNameKey(a) == FileNameKey(b);
}
