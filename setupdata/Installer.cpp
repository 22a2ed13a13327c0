// The install engine. The read side: finding the archive, verifying it, looking members up
// and walking the folder tree; extraction plugs into the walk through IExtractTarget. The
// write side (at the end): extraction into folders, folder creation and the install log.
// Windows only: the shortcuts (InstallerWin32.cpp), and the uninstaller with its entry in the
// list of installed programs (UninstallerWriter.cpp).
//
// The archive comes from a download and may be damaged or made up. The checksum catches
// damage; what it cannot catch (an archive built with bad records and a matching checksum)
// is caught by reading every record through TListReader, which refuses names that are not a
// single plain path component and lengths that leave their list. The whole record structure
// is walked once when the archive is opened, so a bad archive fails before anything is
// written, and every later walk checks again as it goes.

#include "setupdata/SetupData.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <set>

#include "common/CommonUtils.h"
#include "common/FileSystem.h"
#include "common/Path.h"
#include "common/TextEncoding.h"
#include "setupdata/ExtractionPipeline.h"
#include "setupdata/Inflate.h"
#include "setupdata/UninstallRecord.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace Archive;

namespace {

[[noreturn]] void ThrowDamaged() { throw ESetupError(DamagedDataMessage); }

// The archive file is read through a buffer of this size: the walks read a 76-byte record and
// seek for every entry, and each read or seek on the file itself is a system call. The
// checksum reads this much at a time, straight into its own block.
constexpr int32_t ArchiveBufferSize = 1024 * 1024;

// A read-only view of bytes that stay valid for the stream's life (a module's resource data).
class TResourceStream : public TStream {
public:
    TResourceStream(const void* data, int64_t size) : Data(static_cast<const uint8_t*>(data)), Length(size) {}

    int32_t Read(void* buffer, int32_t count) override {
        if (count <= 0 || Pos < 0 || Pos >= Length)
            return 0;
        const auto n = static_cast<int32_t>(std::min<int64_t>(count, Length - Pos));
        std::memcpy(buffer, Data + Pos, static_cast<size_t>(n));
        Pos += n;
        return n;
    }
    int32_t Write(const void*, int32_t) override { return 0; }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        Pos = SeekTarget(Pos, offset, origin, [this] { return Length; });
        return Pos;
    }

private:
    const uint8_t* Data;
    int64_t Length;
    int64_t Pos = 0;
};

std::unique_ptr<TStream> OpenResource(const std::string& name) {
#ifdef _WIN32
    // Resources of the running module are mapped with it: LoadResource and LockResource only
    // return the address, and nothing has to be freed.
    const HRSRC info = ::FindResourceA(nullptr, name.c_str(), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    if (info != nullptr) {
        const HGLOBAL handle = ::LoadResource(nullptr, info);
        const void* data = handle != nullptr ? ::LockResource(handle) : nullptr;
        if (data != nullptr)
            return std::make_unique<TResourceStream>(data, ::SizeofResource(nullptr, info));
    }
#endif
    throw Exception("Resource " + name + " not found");
}

// Reads a little-endian field of a file's headers; false when the file is too short.
bool ReadField(TStream& file, int64_t position, void* value, int32_t size) {
    file.SetPosition(position);
    return file.Read(value, size) == size;
}

// Accepts what follows the archive in a setup program's file: nothing, or the program's
// Authenticode signature. Signing tools pad the file with zeros to a multiple of eight bytes
// and then append the certificate table, a chain of WIN_CERTIFICATE entries (length,
// revision, type), each starting on a multiple of eight, that ends exactly at the end of the
// file. Anything else there is damage, or data someone added to a signed download.
// table is what the file's PE headers say (none for a Setup.dat).
TCertificateTable CheckWhatFollows(TStream& file, int64_t archiveEnd, const TCertificateTable& table) {
    const int64_t fileSize = file.Size();
    if (archiveEnd >= fileSize)
        return {};
    const auto damaged = [] {
        throw ESetupError("The installer appears to be corrupted. Please download it again");
    };
    if (table.Size == 0 || table.Offset < archiveEnd || table.Offset - archiveEnd >= 8 ||
        table.Offset + table.Size != fileSize)
        damaged();
    uint8_t padding[8] = {};
    if (!ReadField(file, archiveEnd, padding, static_cast<int32_t>(table.Offset - archiveEnd)) ||
        std::any_of(padding, padding + 8, [](uint8_t b) { return b != 0; }))
        damaged();
    for (int64_t entry = table.Offset; entry < fileSize;) {
        uint32_t length = 0;
        uint16_t revisionAndType[2] = {};
        if (!ReadField(file, entry, &length, 4) || !ReadField(file, entry + 4, revisionAndType, 4))
            damaged();
        // Revision 1 or 2 (0x0100, 0x0200); type 2 is a PKCS #7 signed-data block.
        if (length < 8 || length > fileSize - entry ||
            (revisionAndType[0] != 0x0100 && revisionAndType[0] != 0x0200) || revisionAndType[1] != 2)
            damaged();
        entry += (length + 7) & ~int64_t(7);
    }
    return table;
}

} // namespace

// Reads one entry list record by record and refuses any record that breaks the structure:
// a name that is not one plain path component, a negative length, a length that runs past the
// enclosing list (the file, at the top), a size below -1, folders nested too deep. Positions
// only grow, so no walk can loop, and every record lies inside its list.
class TInstaller::TListReader {
public:
    TListReader(TStream& archive, const TEntryList& list) : Archive(archive), List(list), NextRecord(list.Start) {}

    // Reads the next record; false at the list's terminator.
    bool Read() {
        if (NextRecord > List.End - RecordSize)
            ThrowDamaged(); // the list has no terminator inside its range
        Archive.SetPosition(NextRecord);
        uint8_t bytes[RecordSize];
        Archive.ReadBuffer(bytes, RecordSize);
        DecodeRecord(bytes, Record);
        if (Record.IsTerminator())
            return false;
        ContentStart = NextRecord + RecordSize;
        if (Record.NameLength > MaxNameLength || !IsValidEntryName(Record.NameText()) || Record.ContentLength < 0 ||
            Record.ContentLength > List.End - ContentStart || Record.FileSize < FolderSize ||
            (Record.IsFolder() && List.Depth >= MaxFolderDepth))
            ThrowDamaged();
        NextRecord = ContentStart + Record.ContentLength;
        return true;
    }

    // The content of the record just read, as a list one level deeper (for folders).
    TEntryList Content() const { return {ContentStart, NextRecord, List.Depth + 1}; }

    TEntryRecord Record;
    int64_t ContentStart = 0;

private:
    TStream& Archive;
    TEntryList List;
    int64_t NextRecord;
};

TInstaller::TInstaller(const std::string& resourceName) : ResourceName(resourceName) {
    OpenFiles();
    ReadHeader();
}

TInstaller::TInstaller(const std::string& resourceName, const std::string& executablePath,
                       std::function<void(int64_t done, int64_t total)> checksumProgress)
    : ResourceName(resourceName), ExecutablePath(executablePath),
      ChecksumProgress(std::move(checksumProgress)) {
    OpenFiles();
    ReadHeader();
}

TInstaller::~TInstaller() = default;

void TInstaller::OpenFiles() {
    const std::string executable = ExecutablePath.empty() ? ProgramFileName() : ExecutablePath;
    Image = std::make_shared<TSharedReadFile>(executable);
    TSharedFileView image(Image);
    if (!ExecutablePath.empty()) {
        char magic[2] = {};
        if (image.Read(magic, 2) != 2 || magic[0] != 'M' || magic[1] != 'Z') {
            ArchiveFile = Image;
            return;
        }
    }
    ImageFields = TImageFields::Read(image);
    // A data resource holds the archive; the program's file is still kept open for the
    // uninstaller's copy.
    if (!ResourceName.empty())
        return;
    if (ImageFields.DataOffset != 0) {
        ArchiveFile = Image;
        ArchiveStart = ImageFields.DataOffset;
        return;
    }
    const std::string folder = ExecutablePath.empty() ? ProgramDirectory() : FileFolder(ExecutablePath);
    ArchiveFile = std::make_shared<TSharedReadFile>(folder + "Setup.dat");
}

std::unique_ptr<TStream> TInstaller::OpenArchive() {
    if (!ResourceName.empty())
        return OpenResource(ResourceName);
    // A view of the file opened at the start, with a buffer of its own: the pipeline's
    // inflating threads each take one and read side by side.
    auto archive = std::make_unique<TBufferedReadStream>(std::make_unique<TSharedFileView>(ArchiveFile),
                                                         ArchiveBufferSize);
    archive->SetPosition(ArchiveStart);
    return archive;
}

void TInstaller::ReadHeader() {
    const std::unique_ptr<TStream> archive = OpenArchive();
    const int64_t start = archive->Position();
    uint8_t bytes[HeaderSize];
    archive->ReadBuffer(bytes, HeaderSize);
    THeader header;
    DecodeHeader(bytes, header);
    if (std::memcmp(header.Signature, Signature, sizeof Signature) != 0)
        throw ESetupError("Invalid setup data signature");

    // The covered length is counted in blocks of ChecksumBlockSize: a block that comes back
    // short still counts whole, as the archive's writers expect. One read here stands for
    // many blocks (a system call per 4096 bytes is most of the time at start-up), and a short
    // read counts as its full blocks and one short block, which is what the block-by-block
    // reads would have met; once the data ends, further reads would add nothing, so the loop
    // stops there.
    // The first read is the largest; the block is not filled in beforehand.
    const int32_t blockSize = std::clamp(header.ChecksumLength, 0, ArchiveBufferSize);
    const std::unique_ptr<uint8_t[]> block(new uint8_t[static_cast<size_t>(blockSize)]);
    uint32_t checksum = 1;
    int32_t remaining = header.ChecksumLength;
    while (remaining > 0) {
        const int32_t got = archive->Read(block.get(), std::min(remaining, ArchiveBufferSize));
        if (got <= 0)
            break;
        checksum = Adler32(checksum, block.get(), static_cast<size_t>(got));
        remaining -= (got + ChecksumBlockSize - 1) / ChecksumBlockSize * ChecksumBlockSize;
        if (ChecksumProgress)
            ChecksumProgress(header.ChecksumLength - std::max(remaining, 0), header.ChecksumLength);
    }
    if (checksum != header.Checksum)
        throw ESetupError("The installer appears to be corrupted. Please download it again");

    archive->SetPosition(start + VersionOffset);
    ArchiveFileDate = DateTimeToDosDateTime(header.BuildDate);
    Version.LoadFromStream(*archive);
    const int64_t entriesStart = archive->Position();
    if (entriesStart > INT32_MAX - RecordSize)
        ThrowDamaged();
    EntriesStart = static_cast<int32_t>(entriesStart);

    VisitEntries(*archive, TopLevelList(*archive), std::string(),
                 [](const std::string&, const TEntryRecord&) {});
    // The walk has just read the top-level terminator, the archive's last record. A data
    // resource holds the archive alone.
    if (ResourceName.empty())
        CodeSignature =
            CheckWhatFollows(*archive, archive->Position(),
                             ArchiveFile == Image ? ImageFields.Certificate : TCertificateTable());
}

TInstaller::TEntryList TInstaller::TopLevelList(TStream& archive) const {
    // Positions are 32-bit in the format: nothing beyond the first 2 GiB belongs to it.
    return {EntriesStart, std::min<int64_t>(archive.Size(), INT32_MAX), 0};
}

bool TInstaller::FindTopLevel(TStream& archive, const std::string& name, bool folder, TEntryRecord& record,
                              TEntryList& content) {
    TListReader reader(archive, TopLevelList(archive));
    while (reader.Read()) {
        // Names asked for come from the configuration, in the running code page.
        if (reader.Record.IsFolder() == folder && SameFileName(ProductText(reader.Record.NameText()), name)) {
            record = reader.Record;
            content = reader.Content();
            archive.SetPosition(content.Start);
            return true;
        }
    }
    return false;
}

std::unique_ptr<TMemoryStream> TInstaller::ReadFile(const std::string& name) {
    const std::unique_ptr<TStream> archive = OpenArchive();
    TEntryRecord record;
    TEntryList content;
    if (!FindTopLevel(*archive, name, false, record, content))
        return nullptr;
    auto result = std::make_unique<TMemoryStream>();
    TInflateStream inflater(*archive, record.ContentLength, record.FileSize);
    result->CopyFrom(inflater, record.FileSize);
    result->SetPosition(0);
    return result;
}

int64_t TInstaller::ComponentSize(const std::string& name) { return ExtractFolder(name, std::string(), 0, nullptr); }

int64_t TInstaller::ExtractFolder(const std::string& name, const std::string& destination, uint32_t fileDate,
                                  IExtractTarget* target) {
    const std::unique_ptr<TStream> archive = OpenArchive();
    TEntryRecord record;
    TEntryList content;
    if (!FindTopLevel(*archive, name, true, record, content))
        return 0;
    const int64_t total = ExtractEntries(*archive, content, destination, fileDate, target);
    return destination.empty() ? total : 0;
}

// The tree walk: with an empty destination it only adds up the file sizes (in 64 bits, which
// no archive's sizes can overflow); with a destination it prepares each list's folder and
// hands every file to the target. The next record is always found from the
// record's ContentLength, never from where the target left the stream.
int64_t TInstaller::ExtractEntries(TStream& archive, const TEntryList& list, const std::string& destination,
                                   uint32_t fileDate, IExtractTarget* target) {
    const bool extracting = !destination.empty() && target != nullptr;
    if (extracting)
        target->PrepareFolder(destination);
    uint64_t total = 0;
    TListReader reader(archive, list);
    while (reader.Read()) {
        const TEntryRecord& record = reader.Record;
        // The stored name is Windows-1252; the file functions take the running code page.
        const std::string name = extracting ? ProductText(record.NameText()) : std::string();
        if (record.IsFolder()) {
            const std::string child = extracting ? destination + name + PathDelimiter() : std::string();
            total += static_cast<uint64_t>(ExtractEntries(archive, reader.Content(), child, fileDate, target));
        } else if (!extracting) {
            total += static_cast<uint32_t>(record.FileSize);
        } else {
            archive.SetPosition(reader.ContentStart);
            target->ExtractFile(archive, record, destination + name, fileDate);
        }
    }
    return static_cast<int64_t>(total);
}

void TInstaller::ListEntries(const std::function<void(const std::string&, const TEntryRecord&)>& visit) {
    const std::unique_ptr<TStream> archive = OpenArchive();
    VisitEntries(*archive, TopLevelList(*archive), std::string(), visit);
}

void TInstaller::VisitEntries(TStream& archive, const TEntryList& list, const std::string& parent,
                              const std::function<void(const std::string&, const TEntryRecord&)>& visit) {
    TListReader reader(archive, list);
    while (reader.Read()) {
        const std::string path = parent.empty() ? reader.Record.NameText() : parent + '\\' + reader.Record.NameText();
        visit(path, reader.Record);
        if (reader.Record.IsFolder())
            VisitEntries(archive, reader.Content(), path, visit);
    }
}

// ---------------------------------------------------------------------------------------------
// The write side: extraction into destination folders and the install log. Portable; the
// shortcut, which needs the shell, is in InstallerWin32.cpp, and the uninstaller, which needs
// the registry, in UninstallerWriter.cpp.

namespace {

// The kind letters of the install log, indexed by TLogKind.
constexpr char LogLetters[] = {UninstallRecord::KindFile,
                               UninstallRecord::KindFolder,
                               UninstallRecord::KindFolderWithFiles,
                               UninstallRecord::KindCurrentUserKey,
                               UninstallRecord::KindClassesRootKey,
                               UninstallRecord::KindLocalMachineKey,
                               UninstallRecord::KindExistingFolder};
static_assert(sizeof LogLetters == lkExistingFolder + 1, "one letter per TLogKind");

// True when the log holds path as a folder that this installation created (D or T). Looked
// for from the end: a subfolder's parent was logged shortly before.
bool WasCreatedHere(const std::vector<std::string>& log, const std::string& path) {
    for (auto entry = log.rbegin(); entry != log.rend(); ++entry) {
        if (!entry->empty() &&
            (entry->front() == LogLetters[lkFolder] || entry->front() == LogLetters[lkFolderFiles]) &&
            SameFileName(std::string_view(*entry).substr(1), path))
            return true;
    }
    return false;
}

// Extraction into the file system: the walk hands each folder and file to the pipeline, whose
// writing thread creates and logs the folders through CreateFolder and writes and logs the
// files, in the walk's order.
class TInstallTarget : public IExtractTarget {
public:
    TInstallTarget(const TExtractOptions& options, TExtractionPipeline& pipeline)
        : Options(options), Pipeline(pipeline) {}

    void PrepareFolder(const std::string& folder) override { Pipeline.CreateFolder(folder); }

    void ExtractFile(TStream& archive, const TEntryRecord& record, const std::string& entryTarget,
                     uint32_t fileDate) override {
        std::string target = entryTarget;
        if (Options.OnExtractFile)
            Options.OnExtractFile(target);
        if (target.empty())
            return;
        // Without overwriting, a file handed over earlier in this extraction counts as there,
        // though it may not be written yet. (The hook may give two entries one name: x.dll and
        // x.vst3 both become x.vst3.)
        if (!Options.Overwrite && (!HandedOver.insert(FileNameKey(target)).second || FileExists(target)))
            return;
        Pipeline.WriteFile(target, archive.Position(), record.ContentLength,
                           static_cast<uint32_t>(record.FileSize), fileDate);
    }

private:
    const TExtractOptions& Options;
    TExtractionPipeline& Pipeline;
    std::set<std::string> HandedOver; // by FileNameKey; only without overwriting
};

} // namespace

int32_t TInstaller::ExtractComponent(const std::string& name, const std::string& destination,
                                     uint32_t fileDate, const TExtractOptions& options) {
    if (fileDate == 0)
        fileDate = ArchiveFileDate;
    // IncludeDelimiter on Windows; the platform's delimiter for the native build.
    std::string folder = destination;
    if (!folder.empty() && folder.back() != PathDelimiter())
        folder += PathDelimiter();
    if (folder.empty())
        return ExtractFolder(name, folder, fileDate, nullptr);
    TExtractionPipeline pipeline([this] { return OpenArchive(); },
                                 [this](const std::string& path) { CreateFolder(path, false); },
                                 [this](const std::string& file, uint32_t size) {
                                     AddLogEntry(lkFile, file);
                                     ExtractedSizes[FileNameKey(file)] = size;
                                 },
                                 Written);
    if (options.OnProgress)
        pipeline.OnProgress = [this, &options] { options.OnProgress(BytesWritten()); };
    TInstallTarget target(options, pipeline);
    try {
        ExtractFolder(name, folder, fileDate, &target);
    } catch (...) {
        // What was handed over before the walk failed is written, as one loop would have; a
        // failure of the pipeline's comes first in the walk's order.
        pipeline.Finish();
        throw;
    }
    pipeline.Finish();
    return 0;
}

uint64_t TInstaller::ExtractedBytes() const {
    uint64_t total = 0;
    for (const auto& [path, size] : ExtractedSizes)
        total += size;
    return total;
}

bool TInstaller::CreateFolder(const std::string& path, bool markFiles) {
    if (path.empty())
        return false;
    const bool exists = DirectoryExists(path);
    if (!markFiles && exists) {
        AddLogEntry(lkExistingFolder, path);
        return true;
    }
    // A drive or network share that is not there: there is nothing above it to create (the
    // parent of "Q:" is "Q:" again, and above "\\server\share" lies no folder at all).
    const std::string trimmed = ExcludeDelimiter(path);
    if (!exists && trimmed.size() <= VolumeRoot(trimmed).size())
        return false;
    // The recursion ends at the first ancestor that exists, logged as E. An ancestor that this
    // installation has just created (the walk creates every list's folder before its
    // subfolders) is not logged again: replayed backwards, an E entry between the parent's D
    // entry and the child's would remove the parent as soon as it is empty, and the parent's
    // own D entry would then find it gone and count as a failure.
    const std::string parent = ParentFolder(path);
    if (parent != path && !(DirectoryExists(parent) && WasCreatedHere(InstallLog, parent)))
        CreateFolder(parent, false);
    // Whatever the reason of a failure (it may exist already), what counts is whether the
    // folder is there now.
    if (!CreateDir(path) && !DirectoryExists(path))
        return false;
    AddLogEntry(markFiles ? lkFolderFiles : lkFolder, path);
    return true;
}

void TInstaller::AddLogEntry(TLogKind kind, const std::string& path) {
    if (kind < lkFile || kind > lkExistingFolder)
        return;
    InstallLog.push_back(LogLetters[kind] + path);
}

void TInstaller::LogRegistryKey(TLogRoot root, const std::string& keyPath) {
    switch (root) {
    case lrClassesRoot:
        AddLogEntry(lkClassesKey, keyPath);
        break;
    case lrCurrentUser:
        AddLogEntry(lkUserKey, keyPath);
        break;
    case lrLocalMachine:
        AddLogEntry(lkMachineKey, keyPath);
        break;
    case lrOther:
        break;
    }
}
