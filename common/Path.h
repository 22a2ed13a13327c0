// The path helpers, each path question answered once: Windows paths taken apart on every
// platform, and whether two file names name one file. Portable (the one system call, the
// Windows case mapping, is in PathWin32.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// --- File names ------------------------------------------------------------------------------
//
// Windows compares file names without regard to letter case over all of Unicode: NTFS and FAT
// upper-case both names through the volume's table of every letter, so "Café" and "CAFÉ", "Ёж"
// and "ЁЖ" are one file, while "ß" and "SS" are two (the table maps one letter to one letter).
// Names are texts in the running code page (TextEncoding.h).

// The key under which names that Windows takes for one file fall together, for maps and sets:
// the name upper-cased as the file system does it. Only equality of keys has a meaning; the
// key is not a name to show or open.
std::string FileNameKey(std::string_view name);
// The same for a name in the given code page. On Windows the system's file-system casing over
// the wide form decides; natively a table of the letters of Latin-1, Latin Extended-A, Greek
// and Cyrillic over UTF-8 (Windows-1252 is converted first; another code page folds A to Z).
std::string FileNameKey(std::string_view name, uint32_t codePage);
// True when a and b name the same file on Windows (or the same folder, the same path).
bool SameFileName(std::string_view a, std::string_view b);

#ifdef _WIN32
// Platform layer (PathWin32.cpp): FileNameKey through LCMapStringEx.
std::string SystemFileNameKey(std::string_view name, uint32_t codePage);
#endif
