// Writes the seeds of the uninstall record fuzz target: a well-formed record, records with
// hostile log lines, and records whose lengths or version are damaged.
// Usage: UninstallRecordSeeds FOLDER

#include <cstdio>
#include <string>
#include <vector>

#include "common/Stream.h"
#include "setupdata/UninstallRecord.h"
#include "tests/support/Bytes.h"

namespace {

std::vector<uint8_t> Record(const std::vector<std::string>& log, const std::string& product) {
    TProgramVersion version;
    version.FromText("5.04 beta 2 (press preview)");
    TMemoryStream stream;
    WriteUninstallRecord(stream, version, log, product.data(), static_cast<int32_t>(product.size()));
    return stream.Bytes();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: UninstallRecordSeeds FOLDER\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    const std::vector<std::string> log = {
        "EC:\\Program Files\\",
        "DC:\\Program Files\\Vendor\\",
        "DC:\\Program Files\\Vendor\\Velmora\\",
        "FC:\\Program Files\\Vendor\\Velmora\\Velmora.exe",
        "TC:\\Program Files\\Vendor\\Velmora\\Logs\\",
        "U\\Software\\Vendor\\Velmora",
        "CVelmora.Document",
        "M\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora 5",
    };
    const std::vector<std::string> hostile = {
        "", "F", "U", "M\\", "C\\\\", "F..\\..\\Windows\\system32\\kernel32.dll", "D\\\\?\\C:\\",
        "X\x01\xFF", "F" + std::string(300, 'a'),
    };

    struct TSeed {
        const char* Name;
        std::vector<uint8_t> Bytes;
    };
    std::vector<TSeed> seeds = {
        {"good", Record(log, "Velmora")},
        {"empty", Record({}, "")},
        {"hostile-lines", Record(hostile, std::string("\0\xFF", 2))},
    };

    std::vector<uint8_t> bareBreaks = Record({"Fa\rDb\nEc\n\rUd"}, "x");
    seeds.push_back({"bare-breaks", bareBreaks});

    struct TDamage {
        const char* Name;
        size_t Offset;
        uint32_t Value;
    };
    const TDamage damages[] = {
        {"negative-log", 53, 0xFFFFFFFF},       {"huge-log", 53, 0x7FFFFFFF},
        {"negative-product", 57, 0x80000000},   {"huge-product", 57, 0x7FFFFFF0},
        {"version-marker", 28, 0},              {"version-format", 32, 2},
    };
    for (const TDamage& damage : damages) {
        std::vector<uint8_t> bytes = Record(log, "Velmora");
        PutInt32At(bytes, damage.Offset, damage.Value);
        seeds.push_back({damage.Name, bytes});
    }
    std::vector<uint8_t> trailing = Record(log, "Velmora");
    trailing.insert(trailing.end(), 64, 0xEE);
    seeds.push_back({"trailing-bytes", trailing});

    try {
        for (const TSeed& seed : seeds)
            WriteBytes(folder + seed.Name + ".rec", std::string(seed.Bytes.begin(), seed.Bytes.end()));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    std::printf("%zu seeds written to %s\n", seeds.size(), argv[1]);
    return 0;
}
