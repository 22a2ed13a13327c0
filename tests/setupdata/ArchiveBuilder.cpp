#include "tests/setupdata/ArchiveBuilder.h"

#include <zlib.h>

#include <cstring>
#include <fstream>
#include <stdexcept>

#include "common/CommonUtils.h"
#include "common/Stream.h"
#include "setupdata/ArchiveFormat.h"

using namespace Archive;

std::string Compress(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(data.data()),
                  static_cast<uLong>(data.size()), 9) != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(size);
    return out;
}

namespace {

std::string RecordBytes(uint8_t nameLength, const std::string& name, int32_t contentLength, int32_t fileSize) {
    std::string record(RecordSize, '\0');
    record[0] = static_cast<char>(nameLength);
    record.replace(1, std::min<size_t>(name.size(), MaxNameLength), name.substr(0, MaxNameLength));
    PutInt32At(record, 68, contentLength);
    PutInt32At(record, 72, fileSize);
    return record;
}

std::string ListBytes(const std::vector<TTestEntry>& entries, int& fileCount) {
    std::string out;
    for (const TTestEntry& e : entries) {
        std::string content;
        if (e.Folder)
            content = ListBytes(e.Children, fileCount);
        else {
            content = e.Content ? *e.Content : Compress(e.Data);
            ++fileCount;
        }
        const std::string stored = e.Name + e.NamePadding;
        out += RecordBytes(e.NameLength.value_or(static_cast<uint8_t>(e.Name.size())), stored,
                           e.ContentLength.value_or(static_cast<int32_t>(content.size())),
                           e.FileSize.value_or(e.Folder ? FolderSize : static_cast<int32_t>(e.Data.size())));
        out += content;
    }
    return out + RecordBytes(0, std::string(), 0, FolderSize);
}

} // namespace

std::string BuildArchive(const std::vector<TTestEntry>& entries, const TProgramVersion& version, double buildDate) {
    TMemoryStream versionBytes;
    version.SaveToStream(versionBytes);
    int fileCount = 0;
    const std::string body =
        std::string(versionBytes.Bytes().begin(), versionBytes.Bytes().end()) + ListBytes(entries, fileCount);
    THeader header;
    std::memcpy(header.Signature, Signature, sizeof Signature);
    header.ChecksumLength = static_cast<int32_t>(body.size());
    header.Checksum = Adler32(1, body.data(), body.size());
    header.BuildDate = buildDate;
    header.FileCount = fileCount;
    uint8_t headerBytes[HeaderSize];
    EncodeHeader(header, headerBytes);
    return std::string(reinterpret_cast<const char*>(headerBytes), HeaderSize) + body;
}

TTestEntry NestedFolders(int depth) {
    TTestEntry inner = TTestEntry::Dir("d" + std::to_string(depth), {TTestEntry::File("deep.txt", "deep")});
    for (int level = depth - 1; level >= 1; --level)
        inner = TTestEntry::Dir("d" + std::to_string(level), {inner});
    return inner;
}

void FixChecksum(std::string& archive) {
    const size_t length = archive.size() - HeaderSize;
    PutInt32At(archive, 8, static_cast<int32_t>(length));
    PutInt32At(archive, 12, static_cast<int32_t>(Adler32(1, archive.data() + HeaderSize, length)));
}

std::string AppendToStub(const std::string& archive, int32_t offset) {
    std::string exe(static_cast<size_t>(offset), '\0');
    exe[0] = 'M';
    exe[1] = 'Z';
    PutInt32At(exe, DataOffsetPosition, offset);
    return exe + archive;
}

std::string SignProgram(std::string program, const std::vector<std::string>& certificates) {
    const int32_t peAt = 64;
    PutInt32At(program, 0x3C, peAt);
    program.replace(peAt, 4, std::string("PE\0\0", 4));
    PutInt32At(program, peAt + 24, 0x10B); // the optional header's magic: 32-bit
    PutInt32At(program, peAt + 24 + 92, 16); // number of data directories
    program.append((8 - program.size() % 8) % 8, '\0');
    std::string table;
    for (const std::string& content : certificates) {
        std::string entry(8, '\0');
        PutInt32At(entry, 0, static_cast<int32_t>(8 + content.size()));
        PutInt32At(entry, 4, 0x00020200); // revision 2, PKCS #7 signed data
        table += entry + content + std::string((8 - content.size() % 8) % 8, '\0');
    }
    PutInt32At(program, SecurityDirectoryAt, static_cast<int32_t>(program.size()));
    PutInt32At(program, SecurityDirectoryAt + 4, static_cast<int32_t>(table.size()));
    return program + table;
}
