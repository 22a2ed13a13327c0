// libFuzzer target for the archive reader: every input is opened as a Setup.dat and, when it
// opens, looked through as the setup program would (lookups, measuring, walking with
// inflation). The reader may refuse an input only with one of the program's own errors; any
// other exception, a crash, a hang or a leak is a finding.
//
// Unless bit 0 of byte 8 is set, ChecksumLength and Checksum are recomputed before the input
// is read, so that mutations reach the record checks behind the checksum.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/FileSystem.h"
#include "setupdata/Inflate.h"
#include "setupdata/SetupData.h"

namespace {

class TDrainTarget : public IExtractTarget {
public:
    void PrepareFolder(const std::string&) override {}
    void ExtractFile(TStream& archive, const Archive::TEntryRecord& record, const std::string& target,
                     uint32_t) override {
        // Every component below the destination must be one plain name: nothing may climb
        // out of it or name a drive.
        size_t start = 5; // after "dest" and the delimiter
        for (size_t end; start <= target.size(); start = end + 1) {
            end = target.find(PathDelimiter(), start);
            if (end == std::string::npos)
                end = target.size();
            if (!Archive::IsValidEntryName(target.substr(start, end - start)))
                __builtin_trap();
        }
        TInflateStream inflater(archive, record.ContentLength, record.FileSize);
        uint8_t buffer[4096];
        while (inflater.Read(buffer, sizeof buffer) > 0) {
        }
    }
};

std::string InputPath() {
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/archive-fuzz-" + std::to_string(getpid()) + ".dat";
}

void PutInt32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    if (size >= static_cast<size_t>(Archive::HeaderSize) && (bytes[8] & 1) == 0) {
        const size_t covered = size - Archive::HeaderSize;
        PutInt32(&bytes[8], static_cast<uint32_t>(covered));
        PutInt32(&bytes[12], Adler32(1, bytes.data() + Archive::HeaderSize, covered));
    }
    static const std::string path = InputPath();
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    } else {
        return 0;
    }

    try {
        TInstaller installer("", path);
        std::vector<std::pair<std::string, bool>> topLevel;
        installer.ListEntries([&](const std::string& entry, const Archive::TEntryRecord& record) {
            if (entry.find('\\') == std::string::npos)
                topLevel.emplace_back(entry, record.IsFolder());
        });
        TDrainTarget target;
        for (const auto& [name, folder] : topLevel) {
            try {
                if (folder) {
                    installer.ComponentSize(name);
                    installer.ExtractFolder(name, std::string("dest") + PathDelimiter(), 0, &target);
                } else {
                    installer.ReadFile(name);
                }
            } catch (const Exception&) {
                // A damaged member is refused when it is read; the others are still readable.
            }
        }
    } catch (const Exception&) {
    }
    return 0;
}
