#include "setupdata/UninstallRecord.h"

#include <cstring>
#include <map>

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/Path.h"
#include "common/RegistryStore.h"
#include "common/Stream.h"
#include "common/TextEncoding.h"

using namespace UninstallRecord;

void WriteUninstallRecord(TStream& stream, const TProgramVersion& version,
                          const std::vector<std::string>& installLog, const void* productData,
                          int32_t productDataLength) {
    uint8_t header[HeaderSize] = {};
    std::memcpy(header, Signature, sizeof Signature);
    const uint32_t codePage = RunningCodePage();
    for (int i = 0; i < 4; ++i)
        header[CodePageOffset + i] = static_cast<uint8_t>(codePage >> (8 * i));
    stream.WriteBuffer(header, HeaderSize);
    version.SaveToStream(stream);

    std::string logText;
    for (const std::string& entry : installLog) {
        logText += entry;
        logText += "\r\n";
    }
    const int32_t logLength = static_cast<int32_t>(logText.size());
    stream.WriteInt32(logLength);
    stream.WriteInt32(productDataLength);
    if (logLength > 0)
        stream.WriteBuffer(logText.data(), logLength);
    if (productDataLength > 0)
        stream.WriteBuffer(productData, productDataLength);
}

void ReadUninstallRecord(TStream& stream, int64_t recordEnd, TUninstallRecord& record) {
    const int64_t recordStart = stream.Position();
    uint8_t header[HeaderSize];
    stream.ReadBuffer(header, HeaderSize);
    if (std::memcmp(header, Signature, sizeof Signature) != 0)
        throw ESetupError(InvalidSignatureMessage);
    record.CodePage = 0;
    for (int i = 3; i >= 0; --i)
        record.CodePage = record.CodePage << 8 | header[CodePageOffset + i];
    if (record.CodePage == 0)
        record.CodePage = SystemAnsiCodePage();
    const uint32_t running = RunningCodePage();

    record.Version.LoadFromStream(stream);
    const int32_t logLength = stream.ReadInt32();
    const int32_t productDataLength = stream.ReadInt32();

    // A damaged record must not make us allocate gigabytes or replay a half-read log: both
    // lengths have to fit into what is left of the file.
    const int64_t available = recordEnd - (recordStart + LogOffset);
    if (logLength < 0 || productDataLength < 0 ||
        static_cast<int64_t>(logLength) + productDataLength > available)
        throw ESetupError(InvalidDataMessage);

    std::string logText(static_cast<size_t>(logLength), '\0');
    if (logLength > 0)
        stream.ReadBuffer(logText.data(), logLength);
    record.InstallLog = SplitLines(ConvertCodePage(logText, record.CodePage, running));

    std::string product(static_cast<size_t>(productDataLength), '\0');
    if (productDataLength > 0)
        stream.ReadBuffer(product.data(), productDataLength);
    product = ConvertCodePage(product, record.CodePage, running);
    record.ProductDataLength = static_cast<int32_t>(product.size());
    record.ProductData.assign(product.begin(), product.end());
}

std::string NormalizedLogPath(const std::string& path) {
    std::string normalized;
    normalized.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        if (i > 1 && IsPathDelimiter(path[i]) && IsPathDelimiter(normalized.back()))
            continue;
        normalized += path[i];
    }
    while (normalized.size() > 1 && IsPathDelimiter(normalized.back()) &&
           !(normalized.size() == 3 && normalized[1] == ':'))
        normalized.pop_back();
    return normalized;
}

std::string LogPathKey(const std::string& path) {
    return FileNameKey(NormalizedLogPath(path));
}

namespace {

// Folders by strength of their letter: created with its files, created, existed before.
int FolderRank(char kind) {
    return kind == KindFolderWithFiles ? 2 : kind == KindFolder ? 1 : 0;
}

// The item an entry names; empty for a line that names none.
std::string ItemOf(const std::string& entry) {
    if (entry.size() < 2)
        return std::string();
    const std::string path = entry.substr(1);
    switch (entry[0]) {
    case KindFile:
        return "F" + LogPathKey(path);
    case KindFolder:
    case KindFolderWithFiles:
    case KindExistingFolder:
        return "D" + LogPathKey(path);
    case KindClassesRootKey:
    case KindCurrentUserKey:
    case KindLocalMachineKey: {
        std::string key(1, entry[0]);
        for (const std::string& name : KeyPathNames(path))
            key += "\\" + AsciiLowerCase(name);
        return key;
    }
    default:
        return std::string();
    }
}

} // namespace

bool SameLogItem(const std::string& a, const std::string& b) {
    const std::string item = ItemOf(a);
    return !item.empty() && item == ItemOf(b);
}

std::vector<std::string> MergeInstallLogs(const std::vector<std::string>& earlier,
                                          const std::vector<std::string>& current) {
    std::vector<std::string> merged;
    std::map<std::string, size_t> places; // item -> its place in merged
    for (const std::vector<std::string>* log : {&earlier, &current})
        for (const std::string& entry : *log) {
            const std::string item = ItemOf(entry);
            if (item.empty())
                continue;
            const auto [place, added] = places.emplace(item, merged.size());
            if (added)
                merged.push_back(entry);
            else if (item[0] == 'D' && FolderRank(entry[0]) > FolderRank(merged[place->second][0]))
                merged[place->second][0] = entry[0];
        }
    return merged;
}
