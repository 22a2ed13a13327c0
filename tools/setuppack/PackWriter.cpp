#include "tools/setuppack/PackWriter.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <functional>
#include <thread>

#include "tools/setuppack/ArchiveOutput.h"
#include "tools/setuppack/PackCompressor.h"
#include "tools/setuppack/PackStub.h"

namespace Packing {

using namespace Archive;

namespace {

const uint8_t ZlibHeader[2] = {0x78, 0xDA}; // deflate, 32 KiB window, maximum compression

// The order of writing: folder starts and ends around their children, files (as a range of
// pieces) in between.
struct TWriteStep {
    enum { stFolderStart, stFile, stFolderEnd } Kind;
    const TPackEntry* Entry;
    size_t FirstPiece;
    size_t PieceCount;
};

void PlanWrites(const std::vector<TPackEntry>& entries, std::vector<TWriteStep>& steps,
                std::vector<TPiece>& pieces) {
    for (const TPackEntry& entry : entries) {
        if (entry.Folder) {
            steps.push_back({TWriteStep::stFolderStart, &entry, 0, 0});
            PlanWrites(entry.Children, steps, pieces);
            steps.push_back({TWriteStep::stFolderEnd, &entry, 0, 0});
            continue;
        }
        const size_t first = pieces.size();
        int64_t offset = 0;
        do {
            const int64_t length = std::min(PieceSize, entry.Size - offset);
            pieces.push_back({&entry, offset, length, offset + length == entry.Size});
            offset += length;
        } while (offset < entry.Size);
        steps.push_back({TWriteStep::stFile, &entry, first, pieces.size() - first});
    }
}

TEntryRecord MakeRecord(const std::string& name, int32_t fileSize) {
    TEntryRecord record;
    record.NameLength = static_cast<uint8_t>(name.size());
    std::memcpy(record.Name, name.data(), name.size());
    record.FileSize = fileSize;
    return record;
}

void WriteTerminator(TArchiveOutput& out) {
    TEntryRecord terminator;
    terminator.FileSize = FolderSize;
    uint8_t bytes[RecordSize];
    EncodeRecord(terminator, bytes);
    out.Write(bytes, RecordSize);
}

// The files and the input bytes that the steps write.
TPackResult CountInput(const std::vector<TWriteStep>& steps) {
    TPackResult result;
    for (const TWriteStep& step : steps) {
        if (step.Kind == TWriteStep::stFile) {
            ++result.FileCount;
            result.InputBytes += step.Entry->Size;
        }
    }
    return result;
}

// A file's record and zlib stream: the header, its pieces as the compressor delivers them, and
// the Adler-32 of the whole file combined from theirs.
void WriteFile(TArchiveOutput& out, const TWriteStep& step, const std::vector<TPiece>& pieces,
               TCompressor& compressor, const std::function<void()>& tick) {
    const TPackEntry& entry = *step.Entry;
    const int64_t record = out.BeginEntry();
    out.Write(ZlibHeader, sizeof ZlibHeader);
    uint32_t adler = 1;
    std::vector<uint8_t> chunk;
    for (size_t index = step.FirstPiece; index < step.FirstPiece + step.PieceCount; ++index) {
        while (compressor.NextChunk(index, chunk, tick)) {
            out.Write(chunk.data(), chunk.size());
            if (out.Position() > INT32_MAX)
                throw EPackError("The setup data would reach 2 GiB with " + Quoted(entry.DisplayPath));
        }
        adler = static_cast<uint32_t>(
            adler32_combine(adler, compressor.Written(index), static_cast<z_off_t>(pieces[index].Length)));
    }
    const uint8_t trailer[4] = {uint8_t(adler >> 24), uint8_t(adler >> 16), uint8_t(adler >> 8),
                                uint8_t(adler)};
    out.Write(trailer, sizeof trailer);
    out.EndEntry(record, MakeRecord(entry.Name, static_cast<int32_t>(entry.Size)));
}

// Every step in order, with tick called about five times a second.
void WriteEntries(TArchiveOutput& out, const std::vector<TWriteStep>& steps,
                  const std::vector<TPiece>& pieces, TCompressor& compressor,
                  const std::function<void()>& tick) {
    auto lastTick = std::chrono::steady_clock::now();
    std::vector<int64_t> openFolders;
    for (const TWriteStep& step : steps) {
        switch (step.Kind) {
        case TWriteStep::stFolderStart:
            openFolders.push_back(out.BeginEntry());
            break;
        case TWriteStep::stFolderEnd:
            WriteTerminator(out);
            out.EndEntry(openFolders.back(), MakeRecord(step.Entry->Name, FolderSize));
            openFolders.pop_back();
            break;
        case TWriteStep::stFile:
            WriteFile(out, step, pieces, compressor, tick);
            break;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - lastTick > std::chrono::milliseconds(200)) {
            lastTick = now;
            tick();
        }
    }
}

// Fills in the archive's header and, after a stub, the program's DataOffset and flag.
void PatchHeader(TArchiveOutput& out, const TPackOptions& options, const TPackResult& result) {
    THeader header;
    std::memcpy(header.Signature, Signature, sizeof Signature);
    header.ChecksumLength = static_cast<int32_t>(out.ChecksumLength());
    header.Checksum = out.Checksum();
    header.BuildDate = options.BuildDate;
    header.FileCount = result.FileCount;
    uint8_t headerBytes[HeaderSize];
    EncodeHeader(header, headerBytes);
    out.Patch(result.ArchiveOffset, headerBytes, HeaderSize);
    if (!options.StubPath.empty()) {
        TImageFields fields; // a setup program, not an uninstaller
        fields.DataOffset = static_cast<int32_t>(result.ArchiveOffset);
        uint8_t words[8];
        fields.EncodeWords(words);
        out.Patch(DataOffsetPosition, words, sizeof words);
    }
}

} // namespace

TPackResult WriteArchive(TFileStream& file, const TPackOptions& options,
                         const std::vector<TPackEntry>& tree) {
    std::vector<TWriteStep> steps;
    std::vector<TPiece> pieces;
    PlanWrites(tree, steps, pieces);
    TPackResult result = CountInput(steps);

    TArchiveOutput out(file);
    result.ArchiveOffset = options.StubPath.empty() ? 0 : CopyStub(options.StubPath, out);
    const uint8_t headerPlaceholder[HeaderSize] = {};
    out.WriteRaw(headerPlaceholder, HeaderSize);
    out.BeginChecksum();
    TMemoryStream version;
    options.Version.SaveToStream(version);
    out.Write(version.Memory(), version.Bytes().size());

    const unsigned threads =
        options.Jobs != 0 ? options.Jobs : std::max(1u, std::thread::hardware_concurrency());
    TCompressor compressor(pieces, threads);
    const auto tick = [&] {
        if (options.Progress)
            options.Progress(compressor.InputDone(), result.InputBytes);
    };
    WriteEntries(out, steps, pieces, compressor, tick);
    WriteTerminator(out);
    if (out.Position() > INT32_MAX)
        throw EPackError("The setup data would reach 2 GiB");

    PatchHeader(out, options, result);
    out.Flush();
    result.ArchiveSize = out.Position() - result.ArchiveOffset;
    if (options.Progress)
        options.Progress(result.InputBytes, result.InputBytes);
    return result;
}

} // namespace Packing
