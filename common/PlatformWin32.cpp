// The platform layer on Windows: file stream, file-system helpers and the program's own path,
// all through the ANSI ("A") functions of the kernel.

#include <windows.h>

#include <cwchar>
#include <vector>

#include "common/DosDate.h"
#include "common/Errors.h"
#include "common/FileSystem.h"
#include "common/Path.h"
#include "common/Stream.h"
#include "common/TextEncoding.h"
#include "common/WideText.h"
#include "common/WinHandle.h"

std::string SystemErrorMessage(int code) {
    char buffer[1024];
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                    static_cast<DWORD>(code), 0, buffer, sizeof buffer, nullptr);
    if (length == 0)
        return "Unknown error " + std::to_string(code);
    // System messages end with CR LF, which the message box would show as an empty line.
    while (length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n'))
        --length;
    return std::string(buffer, length);
}

namespace {

HANDLE AsHandle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

TFileStream::TFileStream(const std::string& fileName, TFileMode mode)
    : Name(fileName), FileHandle(reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE)) {
    DWORD access = GENERIC_READ;
    DWORD share = 0;
    DWORD disposition = OPEN_EXISTING;
    switch (mode) {
    case TFileMode::fmOpenReadShared:
        // The running setup program reads its own executable, which Windows has open already;
        // others may go on reading and writing it.
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        break;
    case TFileMode::fmOpenReadExclusive:
        break;
    case TFileMode::fmOpenReadDenyWrite:
        share = FILE_SHARE_READ;
        break;
    case TFileMode::fmOpenReadWrite:
        access = GENERIC_READ | GENERIC_WRITE;
        break;
    case TFileMode::fmCreate:
        access = GENERIC_READ | GENERIC_WRITE;
        disposition = CREATE_ALWAYS;
        break;
    case TFileMode::fmCreateNew:
        access = GENERIC_READ | GENERIC_WRITE;
        disposition = CREATE_NEW;
        break;
    }
    UniqueFile file(
        ::CreateFileA(fileName.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (mode == TFileMode::fmCreate || mode == TFileMode::fmCreateNew)
            throw EFCreateError(fileName, SystemErrorMessage(static_cast<int>(error)));
        throw EFOpenError(fileName, SystemErrorMessage(static_cast<int>(error)));
    }
    FileHandle = reinterpret_cast<intptr_t>(file.Release());
}

TFileStream::~TFileStream() {
    UniqueFile closer(AsHandle(FileHandle));
}

int32_t TFileStream::Read(void* buffer, int32_t count) {
    DWORD got = 0;
    if (count <= 0 || !::ReadFile(AsHandle(FileHandle), buffer, static_cast<DWORD>(count), &got, nullptr))
        return 0;
    return static_cast<int32_t>(got);
}

int32_t TFileStream::Write(const void* buffer, int32_t count) {
    DWORD put = 0;
    if (count <= 0)
        return 0;
    if (!::WriteFile(AsHandle(FileHandle), buffer, static_cast<DWORD>(count), &put, nullptr)) {
        WriteErrorCode = static_cast<int>(::GetLastError());
        return 0;
    }
    return static_cast<int32_t>(put);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    const DWORD method = origin == TSeekOrigin::soBeginning ? FILE_BEGIN
                         : origin == TSeekOrigin::soCurrent ? FILE_CURRENT
                                                            : FILE_END;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    if (!::SetFilePointerEx(AsHandle(FileHandle), distance, &position, method))
        return -1;
    return position.QuadPart;
}

TSharedReadFile::TSharedReadFile(const std::string& fileName)
    : Name(fileName), FileHandle(reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE)) {
    // FILE_SHARE_READ alone: a later open for writing, and the DELETE access that renaming and
    // deleting need, fail with a sharing violation while this handle is open. Windows lets a
    // running program's file be renamed (the loader's own open shares delete access), and
    // refuses writing to it only; this handle closes that gap. The loader closes its handle
    // once the image is mapped, so opening the running program this way succeeds.
    UniqueFile file(::CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file || !::GetFileSizeEx(file.Get(), &size))
        throw EFOpenError(fileName, SystemErrorMessage(static_cast<int>(::GetLastError())));
    FileSize = size.QuadPart;
    FileHandle = reinterpret_cast<intptr_t>(file.Release());
}

TSharedReadFile::~TSharedReadFile() {
    UniqueFile closer(AsHandle(FileHandle));
}

int32_t TSharedReadFile::ReadAt(int64_t position, void* buffer, int32_t count) const {
    // The offset in the OVERLAPPED structure makes each read independent of the handle's file
    // pointer, which concurrent readers would otherwise move under each other. On a handle
    // opened without FILE_FLAG_OVERLAPPED the call still completes before it returns.
    if (count <= 0 || position < 0)
        return 0;
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    DWORD got = 0;
    if (!::ReadFile(AsHandle(FileHandle), buffer, static_cast<DWORD>(count), &got, &at))
        return 0; // ERROR_HANDLE_EOF at or past the end
    return static_cast<int32_t>(got);
}

std::string ProgramFileName() {
    // GetModuleFileNameA truncates silently when the buffer is too small and returns its size;
    // grow until the whole path fits (paths may exceed MAX_PATH with the \\?\ prefix).
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::string();
        if (length < buffer.size())
            return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

bool FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateDir(const std::string& path) {
    return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool RemoveDir(const std::string& path) {
    return ::RemoveDirectoryA(path.c_str()) != FALSE;
}

bool DeleteFileAt(const std::string& path) {
    return ::DeleteFileA(path.c_str()) != FALSE;
}

namespace {

// The path without trailing delimiters, for the calls that would otherwise describe what a link
// named "link\" points to; a drive's root keeps its backslash ("C:" alone names the drive's
// current folder).
std::string WithoutTrailingDelimiters(const std::string& path) {
    size_t end = path.size();
    while (end > 1 && IsPathDelimiter(path[end - 1]))
        --end;
    if (end == 2 && path[1] == ':' && path.size() > 2)
        ++end;
    return path.substr(0, end);
}

// Reparse points come in many kinds. Those that stand for another name (symbolic links,
// junctions, mounted volumes) carry the name-surrogate bit in their tag; the others keep the
// item's own data elsewhere (a file the cloud service keeps, a deduplicated or compressed
// file) and are that file or folder. Only a search gives the tag; a reparse point whose tag is
// not known (0) counts as a link. Wine shows a Linux symbolic link as a reparse point.
TItemKind KindOf(DWORD attributes, DWORD tag) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && (tag == 0 || IsReparseTagNameSurrogate(tag)))
        return TItemKind::Link;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? TItemKind::Folder : TItemKind::File;
}

} // namespace

TItemKind ItemKindAt(const std::string& path) {
    const std::string item = WithoutTrailingDelimiters(path);
    // GetFileAttributesA describes a reparse point itself, not its target.
    const DWORD attributes = ::GetFileAttributesA(item.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        // Anything else (access denied, a sharing violation) is there, just not readable.
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                       error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH ||
                       error == ERROR_INVALID_DRIVE
                   ? TItemKind::Missing
                   : TItemKind::File;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return KindOf(attributes, 0);
    // Wine leaves the tag unset: zero, so that it counts as a link.
    WIN32_FIND_DATAA data = {};
    UniqueFind find(::FindFirstFileA(item.c_str(), &data));
    return KindOf(attributes, find ? data.dwReserved0 : 0);
}

namespace {

// The path by which the system reached an open file or folder, every link on the way resolved
// (GetFinalPathNameByHandleA: "\\?\C:\..." or "\\?\UNC\server\share\..."); empty on failure.
std::string FinalPath(HANDLE handle) {
    std::string path(MAX_PATH, '\0');
    DWORD length = ::GetFinalPathNameByHandleA(handle, path.data(), static_cast<DWORD>(path.size()), 0);
    if (length >= path.size()) {
        path.assign(length + 1, '\0');
        length = ::GetFinalPathNameByHandleA(handle, path.data(), static_cast<DWORD>(path.size()), 0);
        if (length >= path.size())
            return std::string();
    }
    path.resize(length);
    return path;
}

} // namespace

bool RemoveItem(const std::string& path) {
    const std::string item = WithoutTrailingDelimiters(path);
    size_t cut = item.size();
    while (cut > 0 && !IsPathDelimiter(item[cut - 1]) && item[cut - 1] != ':')
        --cut;
    if (cut == 0 || cut == item.size() || item[cut - 1] == ':')
        return false;
    const std::string name = item.substr(cut);
    // The folder that holds the item, reached as the installation reached it (links on the
    // way followed), and the item itself, never a reparse point's target
    // (FILE_FLAG_OPEN_REPARSE_POINT), a folder as well as a file (FILE_FLAG_BACKUP_SEMANTICS),
    // with the right to delete.
    const std::string folder = item.substr(0, cut);
    UniqueFile parent(::CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    UniqueFile target(::CreateFileA(
        item.c_str(), DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!parent || !target)
        return false;
    // What was opened must be the entry of that name in that folder as it was reached: not
    // reached through a folder swapped for a link between the two opens, nor what a link
    // points to. Wine (8) opens the target of a Linux symbolic link even when asked for the
    // link itself, and its disposition then deletes the target: under Wine a link therefore
    // stays, and counts as not removed. Windows opens the link itself, whose final path is
    // its own. (A name given in its short 8.3 form would not match either; the log holds the
    // names as written.)
    const std::string reached = FinalPath(target.Get());
    const std::string folderReached = FinalPath(parent.Get());
    if (reached.empty() || folderReached.empty() ||
        !SameFileName(reached, IncludeDelimiter(folderReached) + name))
        return false;
    // The item goes when the handle is closed. Removing by name after a look at the name
    // (DeleteFileA, RemoveDirectoryA) would remove whatever was put there in between; a handle
    // removes what it opened. Windows refuses the disposition for a folder that is not empty
    // (ERROR_DIR_NOT_EMPTY) and for a read-only file (ERROR_ACCESS_DENIED), as those calls do.
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return ::SetFileInformationByHandle(target.Get(), FileDispositionInfo, &disposition,
                                        sizeof disposition) != FALSE;
}

std::vector<TFolderEntry> FolderEntries(const std::string& folder) {
    std::vector<TFolderEntry> entries;
    WIN32_FIND_DATAA data = {};
    UniqueFind find(
        ::FindFirstFileA((IncludeDelimiter(WithoutTrailingDelimiters(folder)) + "*").c_str(), &data));
    for (bool more = static_cast<bool>(find); more;) {
        const std::string name = data.cFileName;
        if (name != "." && name != "..")
            entries.push_back({name, KindOf(data.dwFileAttributes, data.dwReserved0)});
        data.dwReserved0 = 0;
        more = ::FindNextFileA(find.Get(), &data) != FALSE;
    }
    return entries;
}

bool ClearReadOnly(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
           ::SetFileAttributesA(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)) !=
               FALSE;
}

bool SetFileSize(TFileStream& file, int64_t size) {
    // Through the handle, unlike SetEndOfFile, which needs the file pointer moved there first.
    FILE_END_OF_FILE_INFO info;
    info.EndOfFile.QuadPart = size;
    return ::SetFileInformationByHandle(AsHandle(file.Handle()), FileEndOfFileInfo, &info, sizeof info) !=
           FALSE;
}

bool SetFileDate(TFileStream& file, uint32_t dosDateTime) {
    TFileDateStamp stamp;
    return stamp.Apply(file, dosDateTime);
}

bool TFileDateStamp::Apply(TFileStream& file, uint32_t dosDateTime) {
    // A DOS date-time has no time zone: it is the local time of the machine, which Windows
    // converts to the UTC file time that NTFS stores. Wine's DosDateTimeToFileTime takes
    // 29 February of any year, which Windows refuses; check the date ourselves.
    if (!IsValidDosDateTime(dosDateTime))
        return false;
    if (dosDateTime != LastDate) {
        FILETIME local, utc;
        if (!::DosDateTimeToFileTime(HIWORD(dosDateTime), LOWORD(dosDateTime), &local) ||
            !::LocalFileTimeToFileTime(&local, &utc))
            return false;
        LastTime = static_cast<uint64_t>(utc.dwHighDateTime) << 32 | utc.dwLowDateTime;
        LastDate = dosDateTime;
    }
    FILETIME utc;
    utc.dwLowDateTime = static_cast<DWORD>(LastTime);
    utc.dwHighDateTime = static_cast<DWORD>(LastTime >> 32);
    return ::SetFileTime(AsHandle(file.Handle()), nullptr, nullptr, &utc) != FALSE;
}

std::optional<uint32_t> GetFileDate(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    FILETIME local;
    WORD date, time;
    if (!::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
        !::FileTimeToDosDateTime(&local, &date, &time))
        return std::nullopt;
    return static_cast<uint32_t>(date) << 16 | time;
}

std::string TempDirectory() {
    // TMP or TEMP may name a folder longer than MAX_PATH. GetTempPathA then returns the length
    // it needs, terminator included, instead of the path: ask once more with that size.
    std::string buffer(MAX_PATH + 1, '\0');
    DWORD length = ::GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length >= buffer.size()) {
        buffer.assign(length + 1, '\0');
        length = ::GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length >= buffer.size())
            return std::string();
    }
    if (length == 0)
        return std::string();
    buffer.resize(length);
    return IncludeDelimiter(buffer);
}

char PathDelimiter() {
    return '\\';
}

uint32_t RunningCodePage() {
    // 65001 when the manifest's UTF-8 declaration is honoured; older Windows ignore it and
    // answer with the system's code page.
    return ::GetACP();
}

uint32_t SystemAnsiCodePage() {
    // The locale's data, not GetACP: with the manifest's declaration honoured, GetACP answers
    // 65001 whatever the system's code page.
    wchar_t number[8] = {};
    if (::GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, number, 8) == 0)
        return ::GetACP();
    const uint32_t codePage = static_cast<uint32_t>(std::wcstoul(number, nullptr, 10));
    // 0: a locale with no ANSI code page of its own (Unicode-only, such as Hindi), whose
    // programs without a declaration run with the system's code page for such programs.
    return codePage != 0 ? codePage : ::GetACP();
}

std::string SystemConvertCodePage(std::string_view text, uint32_t from, uint32_t to) {
    // Without WC_NO_BEST_FIT_CHARS Windows gives the nearest letter where it knows one; "_"
    // only for the rest.
    return FromWide(ToWide(text, from), to, to == CodePageUtf8 ? nullptr : "_");
}

std::wstring ToWide(std::string_view text, uint32_t codePage) {
    if (text.empty())
        return std::wstring();
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    if (length == 0 || ::MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length) == 0)
        return std::wstring();
    return wide;
}

std::string FromWide(std::wstring_view text, uint32_t codePage, const char* fallback) {
    if (text.empty())
        return std::string();
    const int size = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, fallback, nullptr);
    std::string out(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), size, out.data(), length, fallback, nullptr);
    return out;
}
