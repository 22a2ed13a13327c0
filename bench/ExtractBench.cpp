// Extracting one component of an archive, timed, with the peak memory of the process. Run it
// under Wine, once per mode and in a fresh process each time (the peak is the process's), with
// an empty destination:
//   engine  TInstaller::ExtractComponent, as Setup.exe extracts (folders and files logged,
//           read-only bits cleared, file dates set)
//   plain   a plain loop over the same records straight on Win32 and zlib: create each folder,
//           inflate each member through a 64 KiB buffer into its file, nothing else
//   memory  the same loop inflating each member whole into memory, writing nothing
// Usage: extract_bench MODE SETUP_DAT_OR_SETUP_EXE COMPONENT DESTINATION
// Prints one line: mode, files, folders, bytes, wall and CPU seconds, MB/s, peak working set
// (GetProcessMemoryInfo) before the timed work and at the end.

#include <windows.h>
// After windows.h, whose types it uses. (With Windows 7 as the target it binds
// GetProcessMemoryInfo to kernel32's K32GetProcessMemoryInfo.)
#include <psapi.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/Path.h"
#include "setupdata/ArchiveFormat.h"
#include "setupdata/SetupData.h"

namespace {

constexpr DWORD BufferSize = 64 * 1024;

struct TCounts {
    long long Files = 0;
    long long Folders = 0;
    long long Bytes = 0;
};

double Megabytes(SIZE_T bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

PROCESS_MEMORY_COUNTERS Memory() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

// User and kernel time of this process (under Wine, without the wineserver's share).
double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    const auto seconds = [](const FILETIME& t) {
        return static_cast<double>(static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what);
}

// The plain loop: the archive read with ReadFile, records decoded by hand, zlib's inflate.
class TPlainExtractor {
public:
    TPlainExtractor(const std::string& archivePath, bool toMemory)
        : ToMemory(toMemory), Input(BufferSize), Output(BufferSize) {
        File = ::CreateFileA(archivePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr);
        if (File == INVALID_HANDLE_VALUE)
            Fail("cannot open " + archivePath);
        // A setup program: the archive starts at its DataOffset.
        char header[Archive::MinimumExecutableSize] = {};
        if (Read(header, sizeof header) == sizeof header && header[0] == 'M' && header[1] == 'Z')
            std::memcpy(&Base, header + Archive::DataOffsetPosition, 4);
    }
    ~TPlainExtractor() { ::CloseHandle(File); }

    void Extract(const std::string& component, const std::string& destination) {
        int64_t position = Base + Archive::EntriesOffset;
        for (;;) {
            Record record = ReadRecord(position);
            if (record.NameLength == 0)
                Fail("no component " + component);
            if (record.FileSize == Archive::FolderSize && SameText(record.Name, component)) {
                ExtractList(position + Archive::RecordSize, destination);
                return;
            }
            position += Archive::RecordSize + record.ContentLength;
        }
    }

    TCounts Counts;

private:
    struct Record {
        uint8_t NameLength;
        std::string Name;
        int32_t ContentLength;
        int32_t FileSize;
    };

    HANDLE File;
    int32_t Base = 0;
    bool ToMemory;
    std::vector<uint8_t> Input;
    std::vector<uint8_t> Output;

    void Seek(int64_t position) {
        LARGE_INTEGER distance;
        distance.QuadPart = position;
        ::SetFilePointerEx(File, distance, nullptr, FILE_BEGIN);
    }
    DWORD Read(void* buffer, DWORD count) {
        DWORD got = 0;
        ::ReadFile(File, buffer, count, &got, nullptr);
        return got;
    }

    Record ReadRecord(int64_t position) {
        uint8_t bytes[Archive::RecordSize];
        Seek(position);
        if (Read(bytes, sizeof bytes) != sizeof bytes)
            Fail("short record");
        Record record;
        record.NameLength = bytes[0];
        record.Name.assign(reinterpret_cast<const char*>(bytes + 1), record.NameLength);
        std::memcpy(&record.ContentLength, bytes + 68, 4);
        std::memcpy(&record.FileSize, bytes + 72, 4);
        return record;
    }

    void ExtractList(int64_t position, const std::string& folder) {
        if (!ToMemory)
            ::CreateDirectoryA(folder.c_str(), nullptr);
        ++Counts.Folders;
        for (;;) {
            const Record record = ReadRecord(position);
            if (record.NameLength == 0)
                return;
            const int64_t content = position + Archive::RecordSize;
            if (record.FileSize == Archive::FolderSize)
                ExtractList(content, folder + record.Name + "\\");
            else
                ExtractMember(content, record, folder + record.Name);
            position = content + record.ContentLength;
        }
    }

    void ExtractMember(int64_t content, const Record& record, const std::string& path) {
        ++Counts.Files;
        Counts.Bytes += record.FileSize;
        HANDLE out = INVALID_HANDLE_VALUE;
        std::vector<uint8_t> whole;
        if (ToMemory) {
            whole.resize(static_cast<size_t>(record.FileSize));
        } else {
            out = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
            if (out == INVALID_HANDLE_VALUE)
                Fail("cannot create " + path);
        }
        if (record.FileSize > 0) {
            z_stream zip = {};
            if (inflateInit(&zip) != Z_OK)
                Fail("inflateInit");
            Seek(content);
            int32_t inputLeft = record.ContentLength;
            size_t delivered = 0;
            int result = Z_OK;
            while (result != Z_STREAM_END) {
                if (zip.avail_in == 0 && inputLeft > 0) {
                    const DWORD got =
                        Read(Input.data(), std::min<DWORD>(BufferSize, static_cast<DWORD>(inputLeft)));
                    inputLeft -= static_cast<int32_t>(got);
                    zip.next_in = Input.data();
                    zip.avail_in = got;
                }
                uint8_t* target = ToMemory ? whole.data() + delivered : Output.data();
                const size_t room = ToMemory ? whole.size() - delivered : Output.size();
                zip.next_out = target;
                zip.avail_out = static_cast<uInt>(room);
                result = inflate(&zip, Z_NO_FLUSH);
                if (result != Z_OK && result != Z_STREAM_END)
                    Fail("inflate " + path);
                const size_t produced = room - zip.avail_out;
                delivered += produced;
                if (!ToMemory && produced > 0) {
                    DWORD put = 0;
                    ::WriteFile(out, Output.data(), static_cast<DWORD>(produced), &put, nullptr);
                }
            }
            inflateEnd(&zip);
            if (delivered != static_cast<size_t>(record.FileSize))
                Fail("wrong size " + path);
        }
        if (out != INVALID_HANDLE_VALUE)
            ::CloseHandle(out);
    }
};

// Counts what the engine extracted, from its log.
TCounts CountLog(const std::vector<std::string>& log) {
    TCounts counts;
    for (const std::string& entry : log) {
        if (entry.empty())
            continue;
        if (entry[0] == 'F') {
            ++counts.Files;
            WIN32_FILE_ATTRIBUTE_DATA data;
            if (::GetFileAttributesExA(entry.c_str() + 1, GetFileExInfoStandard, &data))
                counts.Bytes += static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
        } else if (entry[0] == 'D') {
            ++counts.Folders;
        }
    }
    return counts;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: extract_bench engine|plain|memory SETUP_DAT COMPONENT DESTINATION\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::string archive = argv[2];
    const std::string component = argv[3];
    const std::string destination = IncludeDelimiter(argv[4]);
    try {
        TCounts counts;
        double seconds = 0;
        SIZE_T atStart = 0;
        double cpuAtStart = 0;
        double cpu = 0;
        if (mode == "engine") {
            // Opening verifies the whole archive; only the extraction is timed.
            TInstaller installer("", archive);
            atStart = Memory().PeakWorkingSetSize;
            cpuAtStart = CpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            installer.ExtractComponent(component, destination, 0);
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            cpu = CpuSeconds() - cpuAtStart;
            // Outside the figures: a path lookup per file.
            counts = CountLog(installer.InstallLog);
        } else if (mode == "plain" || mode == "memory") {
            TPlainExtractor extractor(archive, mode == "memory");
            atStart = Memory().PeakWorkingSetSize;
            cpuAtStart = CpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            extractor.Extract(component, destination);
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            cpu = CpuSeconds() - cpuAtStart;
            counts = extractor.Counts;
        } else {
            std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
            return 2;
        }
        const PROCESS_MEMORY_COUNTERS memory = Memory();
        std::printf(
            "%-6s %5lld files %4lld folders %6.1f MB  %6.3f s %6.1f MB/s (CPU %6.3f s)  peak working set "
            "%6.1f MB (%.1f MB before)\n",
            mode.c_str(), counts.Files, counts.Folders, static_cast<double>(counts.Bytes) / 1e6, seconds,
            static_cast<double>(counts.Bytes) / 1e6 / seconds, cpu, Megabytes(memory.PeakWorkingSetSize),
            Megabytes(atStart));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "extract_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
