// Packing a product folder.
//
// The folder is scanned first, so that every name and size the format cannot carry is
// refused before anything is written. Then the files are compressed in parallel, each into its
// own zlib stream (large files in several pieces, see TPiece), while the calling thread writes
// them in the stored order. A folder's record holds the length of everything below it, which
// is known only once that is written, so records are written as placeholders and filled in
// afterwards; the archive's Adler-32 is assembled from the checksums of the pieces (zlib's
// adler32_combine), so nothing is read back.
//
// Memory stays bounded: only a window of pieces ahead of the writer is compressed at a time,
// and compressed output waiting for the writer is limited; the piece the writer waits for is
// never held back.

#include "tools/setuppack/Packer.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "common/CommonUtils.h"
#include "common/Stream.h"
#include "setupdata/ArchiveFormat.h"
#include "tools/setuppack/PackRules.h"

namespace fs = std::filesystem;
using namespace Archive;

namespace {

constexpr size_t ChunkSize = 256 * 1024;
constexpr int64_t BufferedLimit = 64 * 1024 * 1024;

// ---- Scanning -------------------------------------------------------------------------

struct TPackEntry {
    std::string Name;        // Windows-1252, as stored
    std::string DisplayPath; // UTF-8, below the product folder, for messages
    fs::path Source;
    bool Folder = false;
    int64_t Size = 0;
    std::vector<TPackEntry> Children;
};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The stored name of a file or folder, or an EPackError naming it.
std::string StoredName(const std::string& utf8Name, const std::string& display) {
    std::string stored;
    if (const std::optional<std::string> broken = NameRuleBroken(utf8Name, stored))
        throw EPackError("The name of " + Quoted(display) + " " + *broken);
    return stored;
}

// Case-insensitive alphabetical order, files and folders mixed; names equal but for case are
// ordered by their bytes, and a file goes before a folder of the same name, so that the
// order never depends on the file system's.
bool StoredBefore(const TPackEntry& a, const TPackEntry& b) {
    const size_t n = std::min(a.Name.size(), b.Name.size());
    for (size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(AsciiLower(a.Name[i]));
        const auto y = static_cast<unsigned char>(AsciiLower(b.Name[i]));
        if (x != y)
            return x < y;
    }
    if (a.Name.size() != b.Name.size())
        return a.Name.size() < b.Name.size();
    if (a.Name != b.Name)
        return a.Name < b.Name;
    return !a.Folder && b.Folder;
}

// Lists one folder; depth is that of the list being built (0 for the top level).
std::vector<TPackEntry> ScanFolder(const fs::path& folder, const std::string& displayFolder, int depth) {
    std::vector<TPackEntry> entries;
    for (const fs::directory_entry& item : fs::directory_iterator(folder)) {
        const std::string utf8Name = item.path().filename().u8string();
        if (utf8Name == ".keep")
            continue;
        TPackEntry entry;
        entry.DisplayPath = displayFolder.empty() ? utf8Name : displayFolder + "/" + utf8Name;
        entry.Name = StoredName(utf8Name, entry.DisplayPath);
        entry.Source = item.path();
        const fs::file_status status = item.status(); // follows symbolic links
        if (fs::is_directory(status)) {
            if (depth >= MaxFolderDepth)
                throw EPackError(Quoted(entry.DisplayPath) + " lies deeper than 64 folders");
            entry.Folder = true;
            entry.Children = ScanFolder(entry.Source, entry.DisplayPath, depth + 1);
        } else if (fs::is_regular_file(status)) {
            entry.Size = static_cast<int64_t>(item.file_size());
            if (entry.Size >= TwoGiB)
                throw EPackError(Quoted(entry.DisplayPath) + " is 2 GiB or larger");
        } else {
            throw EPackError(Quoted(entry.DisplayPath) + " is neither a file nor a folder");
        }
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), StoredBefore);
    return entries;
}

// A file's zlib stream is compressed in pieces of PieceSize input bytes, so that large files
// are spread over all threads too: each piece is raw deflate primed with the 32 KiB before it
// and ended with a sync flush (the last one with the final block), and the writer puts the
// zlib header before the first piece and the Adler-32 of the whole file after the last one.
// The result is one ordinary zlib stream. Pieces do not depend on the number of threads, so
// neither does the output.
constexpr int64_t PieceSize = 1024 * 1024;
constexpr int64_t DictionarySize = 32 * 1024;
const uint8_t ZlibHeader[2] = {0x78, 0xDA}; // deflate, 32 KiB window, maximum compression

struct TPiece {
    const TPackEntry* Entry;
    int64_t Offset;
    int64_t Length;
    bool Last;
};

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

// ---- Compressing ----------------------------------------------------------------------

struct TJob {
    std::deque<std::vector<uint8_t>> Chunks; // compressed output not yet written
    bool Done = false;
    std::exception_ptr Error;
    uint32_t Adler = 1; // of the piece's uncompressed bytes
};

// Worker threads compressing pieces ahead of the writer. The destructor stops and joins them.
class TCompressor {
public:
    TCompressor(const std::vector<TPiece>& pieces, unsigned threads)
        : Pieces(pieces), Jobs(pieces.size()), Window(64 * static_cast<size_t>(threads)) {
        for (unsigned i = 0; i < threads; ++i)
            Workers.emplace_back([this] { Work(); });
    }
    ~TCompressor() {
        {
            std::lock_guard<std::mutex> lock(Mutex);
            Cancelled = true;
        }
        Changed.notify_all();
        for (std::thread& worker : Workers)
            worker.join();
    }
    TCompressor(const TCompressor&) = delete;
    TCompressor& operator=(const TCompressor&) = delete;

    // The next part of piece index's compressed bytes, waiting for it; false when the piece
    // is complete. Raises what compressing the piece raised. tick is called while waiting.
    bool NextChunk(size_t index, std::vector<uint8_t>& chunk, const std::function<void()>& tick) {
        std::unique_lock<std::mutex> lock(Mutex);
        TJob& job = Jobs[index];
        while (job.Chunks.empty() && !job.Done) {
            if (Changed.wait_for(lock, std::chrono::milliseconds(200)) == std::cv_status::timeout && tick) {
                lock.unlock();
                tick();
                lock.lock();
            }
        }
        if (job.Error)
            std::rethrow_exception(job.Error);
        if (job.Chunks.empty())
            return false;
        chunk = std::move(job.Chunks.front());
        job.Chunks.pop_front();
        Buffered -= static_cast<int64_t>(chunk.size());
        Changed.notify_all();
        return true;
    }

    // The writer has taken all of piece index; returns the piece's Adler-32 and moves the
    // window on.
    uint32_t Written(size_t index) {
        uint32_t adler;
        {
            std::lock_guard<std::mutex> lock(Mutex);
            Head = index + 1;
            adler = Jobs[index].Adler;
        }
        Changed.notify_all();
        return adler;
    }

    int64_t InputDone() const { return Compressed.load(); }

private:
    const std::vector<TPiece>& Pieces;
    std::vector<TJob> Jobs;
    const size_t Window;
    std::vector<std::thread> Workers;
    std::mutex Mutex;
    std::condition_variable Changed;
    size_t NextJob = 0;
    size_t Head = 0;
    int64_t Buffered = 0;
    bool Cancelled = false;
    std::atomic<int64_t> Compressed{0};

    void Work() {
        for (;;) {
            size_t index;
            {
                std::unique_lock<std::mutex> lock(Mutex);
                Changed.wait(lock, [&] { return Cancelled || NextJob >= Jobs.size() || NextJob < Head + Window; });
                if (Cancelled || NextJob >= Jobs.size())
                    return;
                index = NextJob++;
            }
            uint32_t adler = 1;
            std::exception_ptr error;
            try {
                adler = Compress(index);
            } catch (...) {
                error = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> lock(Mutex);
                Jobs[index].Adler = adler;
                Jobs[index].Error = error;
                Jobs[index].Done = true;
            }
            Changed.notify_all();
        }
    }

    // Hands compressed bytes to the writer. Only the piece the writer waits for may go past
    // the limit of buffered output; the others wait for it.
    void Deliver(size_t index, std::vector<uint8_t>& chunk) {
        std::unique_lock<std::mutex> lock(Mutex);
        Changed.wait(lock, [&] { return Cancelled || index == Head || Buffered + int64_t(chunk.size()) <= BufferedLimit; });
        if (Cancelled)
            throw EPackError("Cancelled");
        Buffered += static_cast<int64_t>(chunk.size());
        Jobs[index].Chunks.push_back(std::move(chunk));
        lock.unlock();
        Changed.notify_all();
        chunk = std::vector<uint8_t>();
    }

    // Compresses one piece; returns the Adler-32 of its input.
    uint32_t Compress(size_t index) {
        const TPiece& piece = Pieces[index];
        const TPackEntry& entry = *piece.Entry;
        const auto changed = [&] { return EPackError(Quoted(entry.DisplayPath) + " changed while it was being packed"); };
        std::ifstream input(entry.Source, std::ios::binary);
        if (!input)
            throw EPackError("Cannot read " + Quoted(entry.DisplayPath));

        // Level 9 with the default window and memory, as the 78 DA header says.
        z_stream zip{};
        if (deflateInit2(&zip, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw EPackError("Cannot compress " + Quoted(entry.DisplayPath));
        struct TEnd {
            z_stream& Zip;
            ~TEnd() { deflateEnd(&Zip); }
        } end{zip};

        std::vector<uint8_t> in(ChunkSize);
        if (piece.Offset > 0) {
            const int64_t start = std::max<int64_t>(0, piece.Offset - DictionarySize);
            const auto length = static_cast<std::streamsize>(piece.Offset - start);
            input.seekg(start);
            if (!input.read(reinterpret_cast<char*>(in.data()), length))
                throw changed();
            deflateSetDictionary(&zip, in.data(), static_cast<uInt>(length));
        }

        std::vector<uint8_t> out(ChunkSize);
        uint32_t adler = 1;
        int64_t remaining = piece.Length;
        size_t used = 0;
        int flush;
        do {
            const auto count = static_cast<size_t>(std::min<int64_t>(remaining, ChunkSize));
            if (!input.read(reinterpret_cast<char*>(in.data()), static_cast<std::streamsize>(count)))
                throw changed();
            adler = Adler32(adler, in.data(), count);
            remaining -= static_cast<int64_t>(count);
            flush = remaining > 0 ? Z_NO_FLUSH : piece.Last ? Z_FINISH : Z_SYNC_FLUSH;
            zip.next_in = in.data();
            zip.avail_in = static_cast<uInt>(count);
            do {
                zip.next_out = out.data() + used;
                zip.avail_out = static_cast<uInt>(out.size() - used);
                deflate(&zip, flush);
                used = out.size() - zip.avail_out;
                if (used == out.size()) {
                    Deliver(index, out);
                    out.resize(ChunkSize);
                    used = 0;
                }
            } while (zip.avail_in > 0 || (flush != Z_NO_FLUSH && zip.avail_out == 0));
            Compressed += static_cast<int64_t>(count);
        } while (remaining > 0);
        if (piece.Last && input.peek() != std::ifstream::traits_type::eof())
            throw changed();
        out.resize(used);
        if (!out.empty())
            Deliver(index, out);
        return adler;
    }
};

// ---- Writing --------------------------------------------------------------------------

// The output file with a write buffer, filled-in placeholders and the archive's checksum
// assembled piece by piece: each open entry is a segment with its own Adler-32 and length,
// folded into its parent once the entry's record is known.
class TArchiveOutput {
public:
    explicit TArchiveOutput(TFileStream& file) : File(file), BufferStart(file.Position()) {}

    int64_t Position() const { return BufferStart + static_cast<int64_t>(Buffer.size()); }

    // Bytes outside every checksummed segment (the stub, the header, placeholders).
    void WriteRaw(const void* data, size_t count) {
        const auto* p = static_cast<const uint8_t*>(data);
        Buffer.insert(Buffer.end(), p, p + count);
        if (Buffer.size() >= 4 * ChunkSize)
            Flush();
    }

    void Write(const void* data, size_t count) {
        Segments.back().Adler = Adler32(Segments.back().Adler, data, count);
        Segments.back().Length += static_cast<int64_t>(count);
        WriteRaw(data, count);
    }

    void Patch(int64_t position, const void* data, size_t count) {
        if (position >= BufferStart) {
            std::memcpy(Buffer.data() + (position - BufferStart), data, count);
            return;
        }
        Flush();
        File.SetPosition(position);
        File.WriteBuffer(data, static_cast<int32_t>(count));
        File.Seek(0, TSeekOrigin::soEnd);
    }

    void Flush() {
        if (!Buffer.empty())
            File.WriteBuffer(Buffer.data(), static_cast<int32_t>(Buffer.size()));
        BufferStart += static_cast<int64_t>(Buffer.size());
        Buffer.clear();
    }

    // Opens a segment whose bytes follow a 76-byte placeholder record written here.
    int64_t BeginEntry() {
        const int64_t recordPosition = Position();
        const uint8_t placeholder[RecordSize] = {};
        WriteRaw(placeholder, RecordSize);
        Segments.push_back({1, 0});
        return recordPosition;
    }

    // Closes the innermost segment: fills in its record (ContentLength = the segment's
    // length) and folds record and content into the parent's checksum.
    void EndEntry(int64_t recordPosition, TEntryRecord record) {
        const TSegment content = Segments.back();
        Segments.pop_back();
        record.ContentLength = static_cast<int32_t>(content.Length);
        uint8_t bytes[RecordSize];
        EncodeRecord(record, bytes);
        Patch(recordPosition, bytes, RecordSize);
        TSegment& parent = Segments.back();
        parent.Adler = static_cast<uint32_t>(
            adler32_combine(parent.Adler, Adler32(1, bytes, RecordSize), static_cast<z_off_t>(RecordSize)));
        parent.Adler = static_cast<uint32_t>(
            adler32_combine(parent.Adler, content.Adler, static_cast<z_off_t>(content.Length)));
        parent.Length += RecordSize + content.Length;
    }

    void BeginChecksum() { Segments.push_back({1, 0}); }
    uint32_t Checksum() const { return Segments.front().Adler; }
    int64_t ChecksumLength() const { return Segments.front().Length; }

private:
    struct TSegment {
        uint32_t Adler;
        int64_t Length;
    };
    TFileStream& File;
    std::vector<uint8_t> Buffer;
    int64_t BufferStart;
    std::vector<TSegment> Segments;
};

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

// Copies the setup program without any archive it already carries; returns where the new
// archive starts.
int64_t CopyStub(const std::string& stubPath, TArchiveOutput& out) {
    TFileStream stub(stubPath, TFileMode::fmOpenReadShared);
    const int64_t size = stub.Size();
    char magic[2] = {};
    if (size < MinimumExecutableSize || stub.Read(magic, 2) != 2 || magic[0] != 'M' || magic[1] != 'Z')
        throw EPackError(Quoted(stubPath) + " is not a Windows program");
    stub.SetPosition(DataOffsetPosition);
    const int32_t dataOffset = stub.ReadInt32();
    const int64_t length = dataOffset >= MinimumExecutableSize && dataOffset <= size ? dataOffset : size;
    if (length >= INT32_MAX)
        throw EPackError(Quoted(stubPath) + " is 2 GiB or larger");
    stub.SetPosition(0);
    std::vector<uint8_t> buffer(ChunkSize);
    for (int64_t left = length; left > 0;) {
        const auto n = static_cast<int32_t>(std::min<int64_t>(left, ChunkSize));
        stub.ReadBuffer(buffer.data(), n);
        out.WriteRaw(buffer.data(), static_cast<size_t>(n));
        left -= n;
    }
    return length;
}

void PutLittleEndian(uint8_t* p, int32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
}

// Writes everything into file (positioned at 0) and returns the result.
TPackResult WriteArchive(TFileStream& file, const TPackOptions& options, const std::vector<TPackEntry>& tree) {
    std::vector<TWriteStep> steps;
    std::vector<TPiece> pieces;
    PlanWrites(tree, steps, pieces);

    TPackResult result;
    for (const TWriteStep& step : steps) {
        if (step.Kind == TWriteStep::stFile) {
            ++result.FileCount;
            result.InputBytes += step.Entry->Size;
        }
    }

    TArchiveOutput out(file);
    result.ArchiveOffset = options.StubPath.empty() ? 0 : CopyStub(options.StubPath, out);
    const uint8_t headerPlaceholder[HeaderSize] = {};
    out.WriteRaw(headerPlaceholder, HeaderSize);
    out.BeginChecksum();
    TMemoryStream version;
    options.Version.SaveToStream(version);
    out.Write(version.Memory(), version.Bytes().size());

    const unsigned threads = options.Jobs != 0 ? options.Jobs : std::max(1u, std::thread::hardware_concurrency());
    TCompressor compressor(pieces, threads);
    const auto tick = [&] {
        if (options.Progress)
            options.Progress(compressor.InputDone(), result.InputBytes);
    };
    auto lastTick = std::chrono::steady_clock::now();
    std::vector<int64_t> openFolders;
    std::vector<uint8_t> chunk;
    for (const TWriteStep& step : steps) {
        const TPackEntry& entry = *step.Entry;
        switch (step.Kind) {
        case TWriteStep::stFolderStart:
            openFolders.push_back(out.BeginEntry());
            break;
        case TWriteStep::stFolderEnd:
            WriteTerminator(out);
            out.EndEntry(openFolders.back(), MakeRecord(entry.Name, FolderSize));
            openFolders.pop_back();
            break;
        case TWriteStep::stFile: {
            const int64_t record = out.BeginEntry();
            out.Write(ZlibHeader, sizeof ZlibHeader);
            uint32_t adler = 1;
            for (size_t index = step.FirstPiece; index < step.FirstPiece + step.PieceCount; ++index) {
                while (compressor.NextChunk(index, chunk, tick)) {
                    out.Write(chunk.data(), chunk.size());
                    if (out.Position() > INT32_MAX)
                        throw EPackError("The setup data would reach 2 GiB with " + Quoted(entry.DisplayPath));
                }
                adler = static_cast<uint32_t>(adler32_combine(adler, compressor.Written(index),
                                                              static_cast<z_off_t>(pieces[index].Length)));
            }
            const uint8_t trailer[4] = {uint8_t(adler >> 24), uint8_t(adler >> 16), uint8_t(adler >> 8), uint8_t(adler)};
            out.Write(trailer, sizeof trailer);
            out.EndEntry(record, MakeRecord(entry.Name, static_cast<int32_t>(entry.Size)));
            break;
        }
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - lastTick > std::chrono::milliseconds(200)) {
            lastTick = now;
            tick();
        }
    }
    WriteTerminator(out);
    if (out.Position() > INT32_MAX)
        throw EPackError("The setup data would reach 2 GiB");

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
        uint8_t fields[8];
        PutLittleEndian(fields, static_cast<int32_t>(result.ArchiveOffset));
        PutLittleEndian(fields + 4, 0); // a setup program, not an uninstaller
        out.Patch(DataOffsetPosition, fields, sizeof fields);
    }
    out.Flush();
    result.ArchiveSize = out.Position() - result.ArchiveOffset;
    if (options.Progress)
        options.Progress(result.InputBytes, result.InputBytes);
    return result;
}

} // namespace

TPackResult PackProduct(const TPackOptions& options) {
    const fs::path product = fs::u8path(options.ProductFolder);
    if (!fs::is_directory(product))
        throw EPackError(Quoted(options.ProductFolder) + " is not a folder");
    const fs::path output = fs::u8path(options.OutputPath);
    // The output is written beside its final name and renamed when complete; inside the
    // product folder it would be packed into the next build.
    const fs::path productFull = fs::weakly_canonical(product);
    const fs::path outputFull = fs::weakly_canonical(output);
    const auto mismatch = std::mismatch(productFull.begin(), productFull.end(), outputFull.begin(), outputFull.end());
    if (mismatch.first == productFull.end())
        throw EPackError("The output " + Quoted(options.OutputPath) + " lies inside the product folder");

    const std::vector<TPackEntry> tree = ScanFolder(product, std::string(), 0);

    const std::string temporary = options.OutputPath + ".part";
    TPackResult result;
    try {
        TFileStream file(temporary, TFileMode::fmCreate);
        result = WriteArchive(file, options, tree);
    } catch (...) {
        std::error_code ignored;
        fs::remove(fs::u8path(temporary), ignored);
        throw;
    }
    fs::rename(fs::u8path(temporary), output);
    return result;
}
