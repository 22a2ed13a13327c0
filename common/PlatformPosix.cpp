// The platform layer on POSIX systems (the packing tool and the native tests): file stream,
// file-system helpers and the program's own path.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "common/DosDate.h"
#include "common/Errors.h"
#include "common/FileSystem.h"
#include "common/Path.h"
#include "common/RegistryStore.h"
#include "common/Stream.h"
#include "common/TextEncoding.h"

std::string SystemErrorMessage(int code) {
    return std::strerror(code);
}

namespace {

// open() on a folder succeeds for reading; Windows refuses it, and so do we.
int OpenFile(const std::string& fileName, TFileMode mode) {
    int flags = O_CLOEXEC;
    switch (mode) {
    case TFileMode::fmOpenReadShared:
    case TFileMode::fmOpenReadExclusive:
    case TFileMode::fmOpenReadDenyWrite:
        flags |= O_RDONLY;
        break;
    case TFileMode::fmOpenReadWrite:
        flags |= O_RDWR;
        break;
    case TFileMode::fmCreate:
        flags |= O_RDWR | O_CREAT | O_TRUNC;
        break;
    case TFileMode::fmCreateNew:
        flags |= O_RDWR | O_CREAT | O_EXCL;
        break;
    }
    int fd;
    do {
        fd = ::open(fileName.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return -1;
    }
    return fd;
}

} // namespace

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : Name(fileName), FileHandle(-1) {
    const int fd = OpenFile(fileName, mode);
    if (fd < 0) {
        const int error = errno;
        if (mode == TFileMode::fmCreate || mode == TFileMode::fmCreateNew)
            throw EFCreateError(fileName, SystemErrorMessage(error));
        throw EFOpenError(fileName, SystemErrorMessage(error));
    }
    FileHandle = fd;
}

TFileStream::~TFileStream() {
    if (FileHandle >= 0)
        ::close(static_cast<int>(FileHandle));
}

int32_t TFileStream::Read(void* buffer, int32_t count) {
    if (count <= 0)
        return 0;
    ssize_t got;
    do {
        got = ::read(static_cast<int>(FileHandle), buffer, static_cast<size_t>(count));
    } while (got < 0 && errno == EINTR);
    return got < 0 ? 0 : static_cast<int32_t>(got);
}

int32_t TFileStream::Write(const void* buffer, int32_t count) {
    if (count <= 0)
        return 0;
    ssize_t put;
    do {
        put = ::write(static_cast<int>(FileHandle), buffer, static_cast<size_t>(count));
    } while (put < 0 && errno == EINTR);
    if (put < 0) {
        WriteErrorCode = errno;
        return 0;
    }
    return static_cast<int32_t>(put);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                       : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                          : SEEK_END;
    return static_cast<int64_t>(::lseek(static_cast<int>(FileHandle), static_cast<off_t>(offset), whence));
}

TSharedReadFile::TSharedReadFile(const std::string& fileName) : Name(fileName), FileHandle(-1) {
    // POSIX has no share modes: others may still change the file. The tools that read archives
    // here run no code from them.
    const int fd = OpenFile(fileName, TFileMode::fmOpenReadDenyWrite);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        throw EFOpenError(fileName, SystemErrorMessage(error));
    }
    FileHandle = fd;
    FileSize = static_cast<int64_t>(st.st_size);
}

TSharedReadFile::~TSharedReadFile() {
    if (FileHandle >= 0)
        ::close(static_cast<int>(FileHandle));
}

int32_t TSharedReadFile::ReadAt(int64_t position, void* buffer, int32_t count) const {
    if (count <= 0 || position < 0)
        return 0;
    ssize_t got;
    do {
        got = ::pread(static_cast<int>(FileHandle), buffer, static_cast<size_t>(count),
                      static_cast<off_t>(position));
    } while (got < 0 && errno == EINTR);
    return got < 0 ? 0 : static_cast<int32_t>(got);
}

std::string ProgramFileName() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return std::string();
        if (static_cast<size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool RemoveDir(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

bool DeleteFileAt(const std::string& path) {
    // unlink() also removes a symbolic link to a folder, which DeleteFileA does not; folders
    // themselves are refused by both.
    return ::unlink(path.c_str()) == 0;
}

namespace {

// lstat() follows a link named with a trailing slash ("link/"), so the path loses it first;
// "/" itself stays.
std::string WithoutTrailingSlashes(const std::string& path) {
    const size_t end = path.find_last_not_of('/');
    return end == std::string::npos ? path.substr(0, 1) : path.substr(0, end + 1);
}

TItemKind KindOf(const struct stat& st) {
    return S_ISLNK(st.st_mode) ? TItemKind::Link : S_ISDIR(st.st_mode) ? TItemKind::Folder : TItemKind::File;
}

} // namespace

TItemKind ItemKindAt(const std::string& path) {
    struct stat st;
    if (::lstat(WithoutTrailingSlashes(path).c_str(), &st) != 0)
        return TItemKind::Missing;
    return KindOf(st);
}

bool RemoveItem(const std::string& path) {
    const std::string item = WithoutTrailingSlashes(path);
    struct stat st;
    if (::lstat(item.c_str(), &st) != 0)
        return false;
    return (S_ISDIR(st.st_mode) ? ::rmdir(item.c_str()) : ::unlink(item.c_str())) == 0;
}

std::vector<TFolderEntry> FolderEntries(const std::string& folder) {
    std::vector<TFolderEntry> entries;
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr)
        return entries;
    const std::string prefix = WithoutTrailingSlashes(folder) + "/";
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        struct stat st;
        if (name != "." && name != ".." && ::lstat((prefix + name).c_str(), &st) == 0)
            entries.push_back({name, KindOf(st)});
    }
    ::closedir(listing);
    return entries;
}

bool ClearReadOnly(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && (st.st_mode & S_IWUSR) == 0 &&
           ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool SetFileSize(TFileStream& file, int64_t size) {
    return ::ftruncate(static_cast<int>(file.Handle()), static_cast<off_t>(size)) == 0;
}

namespace {

// Unpacks a DOS date-time into broken-down local time, refusing impossible dates and times as
// Windows' DosDateTimeToFileTime does (month 0, 30 February, 60 seconds and so on).
bool DosDateTimeToTm(uint32_t dosDateTime, struct tm& t) {
    if (!IsValidDosDateTime(dosDateTime))
        return false;
    const TDosDateTime value = UnpackDosDateTime(dosDateTime);
    t = {};
    t.tm_year = value.Year - 1900;
    t.tm_mon = value.Month - 1;
    t.tm_mday = value.Day;
    t.tm_hour = value.Hour;
    t.tm_min = value.Minute;
    t.tm_sec = value.Second;
    t.tm_isdst = -1;
    return true;
}

uint32_t TmToDosDateTime(const struct tm& t) {
    return PackDosDateTime({t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec});
}

} // namespace

bool SetFileDate(TFileStream& file, uint32_t dosDateTime) {
    TFileDateStamp stamp;
    return stamp.Apply(file, dosDateTime);
}

bool TFileDateStamp::Apply(TFileStream& file, uint32_t dosDateTime) {
    if (!IsValidDosDateTime(dosDateTime))
        return false;
    if (dosDateTime != LastDate) {
        struct tm local;
        if (!DosDateTimeToTm(dosDateTime, local))
            return false;
        const time_t converted = std::mktime(&local);
        if (converted == static_cast<time_t>(-1))
            return false;
        LastTime = static_cast<uint64_t>(converted);
        LastDate = dosDateTime;
    }
    const auto when = static_cast<time_t>(LastTime);
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT; // access time stays
    times[1].tv_sec = when;
    times[1].tv_nsec = 0;
    return ::futimens(static_cast<int>(file.Handle()), times) == 0;
}

std::optional<uint32_t> GetFileDate(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    struct tm local;
    if (::localtime_r(&st.st_mtime, &local) == nullptr)
        return std::nullopt;
    const uint32_t packed = TmToDosDateTime(local);
    if (packed == 0)
        return std::nullopt;
    return packed;
}

std::string TempDirectory() {
    const char* dir = std::getenv("TMPDIR");
    std::string path = dir != nullptr && *dir != '\0' ? dir : "/tmp";
    if (path.back() != '/')
        path += '/';
    return path;
}

char PathDelimiter() {
    return '/';
}

uint32_t RunningCodePage() {
    return CodePageUtf8; // file names and texts on Linux
}

uint32_t SystemAnsiCodePage() {
    return CodePageWindows1252; // the packing tool's own; Linux has no ANSI code page
}

std::string SystemConvertCodePage(std::string_view text, uint32_t, uint32_t) {
    std::string out(text);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) >= 0x80)
            c = '_';
    }
    return out;
}

namespace {

// No registry on this system: nothing to delete.
class TNoRegistry : public IRegistryStore {
public:
    bool DeleteKeyTree(TRegistryHive, const std::string&) override { return false; }
    bool DeleteEmptyKey(TRegistryHive, const std::string&) override { return false; }
};

} // namespace

IRegistryStore& SystemRegistry() {
    static TNoRegistry registry;
    return registry;
}
