// Thin file-system layer over the platform (Win32 or POSIX, chosen at build time).
// Paths are the platform's own; on Windows they are ANSI paths with backslashes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TFileStream;

bool FileExists(const std::string& path);      // a file, not a folder
bool DirectoryExists(const std::string& path); // trailing delimiter allowed
bool CreateDir(const std::string& path);       // one level; false on any failure
bool RemoveDir(const std::string& path);       // only an empty folder
bool DeleteFileAt(const std::string& path);

// What a path names, its last component not followed: a symbolic link, a junction or a mounted
// folder is a Link whatever it points to (on Windows a reparse point of a kind that stands for
// another name; one that only stores the data elsewhere, such as a file the cloud keeps, is
// the file or folder it shows). A trailing delimiter is ignored.
enum class TItemKind { Missing, File, Folder, Link };
TItemKind ItemKindAt(const std::string& path);
// Removes the file, the empty folder or the link at path without following a link at its last
// component: a link goes as a link, never what it points to. False when nothing was removed
// (missing, a folder that is not empty, in use, read-only, denied). The one way the uninstaller
// and the setup program's removal of old shortcuts delete anything.
bool RemoveItem(const std::string& path);
// The entries directly inside folder, without "." and "..", each with its kind (links not
// followed); empty when the folder cannot be listed.
struct TFolderEntry {
    std::string Name;
    TItemKind Kind;
};
std::vector<TFolderEntry> FolderEntries(const std::string& folder);
// Clears the read-only bit of an existing file and keeps its other attributes; true when the
// bit was set and is cleared now.
bool ClearReadOnly(const std::string& path);
// Sets the size of an open file through its handle, leaving its position; false on failure.
bool SetFileSize(TFileStream& file, int64_t size);
// Sets the last-write time of an open file from a packed DOS date-time read as local time.
// Returns false on failure (callers ignore it).
bool SetFileDate(TFileStream& file, uint32_t dosDateTime);
// The same for many files: keeps the last conversion, since an extraction stamps every file
// with one date. A value of its user's own: two threads that write files hold one each.
class TFileDateStamp {
public:
    bool Apply(TFileStream& file, uint32_t dosDateTime);

private:
    uint32_t LastDate = 0;
    uint64_t LastTime = 0; // LastDate as the platform's file time
};
// The last-write time of a file or folder as a packed DOS date-time in local time; none when
// the path does not exist or the time lies outside 1980..2107.
std::optional<uint32_t> GetFileDate(const std::string& path);
// The folder for temporary files, with a trailing delimiter (GetTempPathA on Windows).
std::string TempDirectory();
// The platform's path delimiter ('\\' on Windows, '/' elsewhere).
char PathDelimiter();
