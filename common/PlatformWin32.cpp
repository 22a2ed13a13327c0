// The platform layer on Windows: file stream, file-system helpers and the program's own path,
// all through the ANSI ("A") functions of the kernel.

#include <windows.h>

#include <vector>

#include "common/DosDate.h"
#include "common/Errors.h"
#include "common/FileSystem.h"
#include "common/Path.h"
#include "common/Stream.h"
#include "common/TextEncoding.h"
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

std::string SystemWindows1252ToCodePage(std::string_view text, uint32_t codePage) {
    if (text.empty())
        return std::string();
    const int size = static_cast<int>(text.size());
    std::wstring wide(text.size(), L'\0'); // one UTF-16 unit per byte: 1252 is a single-byte page
    const int wideLength =
        ::MultiByteToWideChar(CodePageWindows1252, 0, text.data(), size, wide.data(), size);
    // Without WC_NO_BEST_FIT_CHARS Windows gives the nearest letter where it knows one; "_"
    // only for the rest (the default character must be NULL for UTF-8 alone, not asked here).
    const int length = ::WideCharToMultiByte(codePage, 0, wide.data(), wideLength, nullptr, 0, "_", nullptr);
    std::string out(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(codePage, 0, wide.data(), wideLength, out.data(), length, "_", nullptr);
    return out;
}
