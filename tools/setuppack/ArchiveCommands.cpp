// list, verify and extract go through TInstaller exactly as the setup program does, so that
// what they report is what the program will see. Extraction plugs a native folder writer into
// the reader's tree walk; entry names are single plain path components (the reader refuses
// anything else), so every path stays below the destination.

#include "tools/setuppack/ArchiveCommands.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "common/DosDate.h"
#include "common/FileSystem.h"
#include "common/Path.h"
#include "common/TextEncoding.h"
#include "setupdata/Inflate.h"
#include "setupdata/SetupData.h"
#include "tools/setuppack/Json.h"

namespace fs = std::filesystem;
using Archive::TEntryRecord;

namespace {

struct TTopLevelEntry {
    std::string Name;
    bool Folder;
};

// The top-level entries the program can reach: lookups take the first entry of a name and
// kind, names compared as Windows compares file names, so later ones of the same name and kind
// are never read.
std::vector<TTopLevelEntry> ReachableTopLevel(TInstaller& installer) {
    std::vector<TTopLevelEntry> result;
    installer.ListEntries([&](const std::string& path, const TEntryRecord& record) {
        if (path.find('\\') != std::string::npos)
            return;
        for (const TTopLevelEntry& seen : result) {
            if (seen.Folder == record.IsFolder() &&
                FileNameKey(seen.Name, CodePageWindows1252) == FileNameKey(path, CodePageWindows1252))
                return;
        }
        result.push_back({path, record.IsFolder()});
    });
    return result;
}

// Opening the setup data reads all of it for its checksum: the first stage of every command.
std::function<void(int64_t, int64_t)> ChecksumProgress(const TArchiveProgress& progress) {
    return [&progress](int64_t done, int64_t total) {
        if (progress)
            progress("reading", done, total);
    };
}

// The uncompressed bytes of every file, for progress.
int64_t TotalFileBytes(TInstaller& installer) {
    int64_t total = 0;
    installer.ListEntries([&](const std::string&, const TEntryRecord& record) {
        if (!record.IsFolder())
            total += record.FileSize;
    });
    return total;
}

class TProgressCount {
public:
    TProgressCount(const TArchiveProgress& callback, int64_t total) : Callback(callback), Total(total) {}
    void Start(const char* stage) {
        Stage = stage;
        Done = 0;
    }
    void Add(int64_t bytes) {
        Done += bytes;
        if (Callback)
            Callback(Stage, Done, Total);
    }

private:
    const TArchiveProgress& Callback;
    const char* Stage = "verifying";
    int64_t Total;
    int64_t Done = 0;
};

// Reads count bytes of stream, handing each piece to use.
void ReadThrough(TStream& stream, int64_t count, TProgressCount& progress,
                 const std::function<void(const uint8_t*, int32_t)>& use) {
    std::vector<uint8_t> buffer(256 * 1024);
    while (count > 0) {
        const auto chunk = static_cast<int32_t>(std::min<int64_t>(count, static_cast<int64_t>(buffer.size())));
        stream.ReadBuffer(buffer.data(), chunk);
        if (use)
            use(buffer.data(), chunk);
        count -= chunk;
        progress.Add(chunk);
    }
}

class TVerifier : public IExtractTarget {
public:
    explicit TVerifier(TProgressCount& progress) : Progress(progress) {}
    TVerifyResult Result;

    void PrepareFolder(const std::string&) override { ++Result.Folders; }
    void ExtractFile(TStream& archive, const TEntryRecord& record, const std::string&, uint32_t) override {
        TInflateStream inflater(archive, record.ContentLength, record.FileSize);
        ReadThrough(inflater, record.FileSize, Progress, nullptr);
        AddFile(record.FileSize);
    }
    void AddFile(int64_t size) {
        ++Result.Files;
        Result.Bytes += size;
    }

private:
    TProgressCount& Progress;
};

class TFolderWriter : public IExtractTarget {
public:
    TFolderWriter(std::string root, TProgressCount& progress) : Root(std::move(root)), Progress(progress) {}

    void PrepareFolder(const std::string& folder) override {
        const std::string path = Root + folder; // named as the program names it
        if (!CreateDir(path) && !DirectoryExists(path))
            throw EFCreateError(path, "The folder cannot be created.");
    }
    void ExtractFile(TStream& archive, const TEntryRecord& record, const std::string& target,
                     uint32_t fileDate) override {
        TFileStream file(Root + target, TFileMode::fmCreate);
        TInflateStream inflater(archive, record.ContentLength, record.FileSize);
        ReadThrough(inflater, record.FileSize, Progress,
                    [&](const uint8_t* data, int32_t count) { file.WriteBuffer(data, count); });
        SetFileDate(file, fileDate);
    }
    void WriteFile(const std::string& name, TMemoryStream& content, uint32_t fileDate) {
        TFileStream file(Root + ProductText(name), TFileMode::fmCreate);
        file.WriteBuffer(content.Memory(), static_cast<int32_t>(content.Bytes().size()));
        SetFileDate(file, fileDate);
        Progress.Add(static_cast<int64_t>(content.Bytes().size()));
    }

private:
    std::string Root;
    TProgressCount& Progress;
};

std::string FormatDosDateTime(uint32_t packed) {
    if (packed == 0)
        return "unknown";
    char text[32];
    const TDosDateTime t = UnpackDosDateTime(packed);
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.Year, t.Month, t.Day, t.Hour, t.Minute,
                  t.Second);
    return text;
}

// ISO 8601 without a zone, as the build date is a local time; null when unknown.
std::string JsonDosDateTime(uint32_t packed) {
    if (packed == 0)
        return "null";
    std::string text = FormatDosDateTime(packed);
    text[10] = 'T';
    return JsonString(text);
}

} // namespace

namespace {

// What a listing shows, once per format: the setup data's header, each entry in the walk's
// order, and the totals.
class TListFormat {
public:
    virtual ~TListFormat() = default;
    virtual void Header(const std::string& setupPath, const TInstaller& installer) = 0;
    virtual void Entry(const std::string& path, const TEntryRecord& record) = 0;
    virtual void Totals(int32_t files, int32_t folders, int64_t bytes) = 0;
};

// The one walk behind both listings.
void ListSetupAs(const std::string& setupPath, const TArchiveProgress& progress, TListFormat& format) {
    TInstaller installer("", setupPath, ChecksumProgress(progress));
    format.Header(setupPath, installer);
    int32_t files = 0;
    int32_t folders = 0;
    int64_t bytes = 0;
    installer.ListEntries([&](const std::string& path, const TEntryRecord& record) {
        if (record.IsFolder()) {
            ++folders;
        } else {
            ++files;
            bytes += record.FileSize;
        }
        format.Entry(path, record);
    });
    format.Totals(files, folders, bytes);
}

class TTextList : public TListFormat {
public:
    explicit TTextList(std::ostream& out) : Out(out) {}

    void Header(const std::string& setupPath, const TInstaller& installer) override {
        Out << "Setup data of " << setupPath << " at offset "
            << installer.EntriesStart - Archive::EntriesOffset << ": version " << installer.Version.ToText()
            << ", built " << FormatDosDateTime(installer.ArchiveFileDate) << "\n";
        if (installer.CodeSignature.Size != 0)
            Out << "Signed: an Authenticode signature of " << installer.CodeSignature.Size
                << " bytes follows the setup data at offset " << installer.CodeSignature.Offset << "\n";
        else
            Out << "Not signed\n";
        Out << "        Size       Stored  Name\n";
    }
    void Entry(const std::string& path, const TEntryRecord& record) override {
        char columns[40];
        if (record.IsFolder())
            std::snprintf(columns, sizeof columns, "%12s %12ld  ", "<folder>",
                          static_cast<long>(record.ContentLength));
        else
            std::snprintf(columns, sizeof columns, "%12ld %12ld  ", static_cast<long>(record.FileSize),
                          static_cast<long>(record.ContentLength));
        Out << columns << ProductText(path) << (record.IsFolder() ? "\\" : "") << "\n";
    }
    void Totals(int32_t files, int32_t folders, int64_t bytes) override {
        Out << files << " files, " << folders << " folders, " << bytes << " bytes\n";
    }

private:
    std::ostream& Out;
};

class TJsonList : public TListFormat {
public:
    explicit TJsonList(std::ostream& out) : Out(out) {}

    void Header(const std::string& setupPath, const TInstaller& installer) override {
        Out << "{\n  \"file\": " << JsonString(setupPath)
            << ",\n  \"offset\": " << installer.EntriesStart - Archive::EntriesOffset
            << ",\n  \"version\": " << JsonString(installer.Version.ToText())
            << ",\n  \"built\": " << JsonDosDateTime(installer.ArchiveFileDate) << ",\n  \"signature\": ";
        if (installer.CodeSignature.Size != 0)
            Out << "{\"offset\": " << installer.CodeSignature.Offset
                << ", \"size\": " << installer.CodeSignature.Size << "}";
        else
            Out << "null";
        Out << ",\n  \"entries\": [";
    }
    void Entry(const std::string& path, const TEntryRecord& record) override {
        Out << Separator << "    {\"path\": " << JsonString(Windows1252ToUtf8(path));
        if (record.IsFolder())
            Out << ", \"folder\": true, \"stored\": " << record.ContentLength << "}";
        else
            Out << ", \"size\": " << record.FileSize << ", \"stored\": " << record.ContentLength << "}";
        Separator = ",\n";
    }
    void Totals(int32_t files, int32_t folders, int64_t bytes) override {
        Out << "\n  ],\n  \"files\": " << files << ",\n  \"folders\": " << folders
            << ",\n  \"bytes\": " << bytes << "\n}\n";
    }

private:
    std::ostream& Out;
    const char* Separator = "\n";
};

} // namespace

void ListSetup(const std::string& setupPath, std::ostream& out, const TArchiveProgress& progress) {
    TTextList format(out);
    ListSetupAs(setupPath, progress, format);
}

void ListSetupJson(const std::string& setupPath, std::ostream& out, const TArchiveProgress& progress) {
    TJsonList format(out);
    ListSetupAs(setupPath, progress, format);
}

namespace {

TVerifyResult Verify(TInstaller& installer, TProgressCount& progress) {
    TVerifier verifier(progress);
    for (const TTopLevelEntry& entry : ReachableTopLevel(installer)) {
        if (entry.Folder) {
            const std::string name = ProductText(entry.Name);
            installer.ExtractFolder(name, name + PathDelimiter(), 0, &verifier);
        } else {
            const std::unique_ptr<TMemoryStream> content = installer.ReadFile(entry.Name);
            verifier.AddFile(static_cast<int64_t>(content->Bytes().size()));
            progress.Add(static_cast<int64_t>(content->Bytes().size()));
        }
    }
    return verifier.Result;
}

} // namespace

TVerifyResult VerifySetup(const std::string& setupPath, const TArchiveProgress& progress) {
    TInstaller installer("", setupPath, ChecksumProgress(progress));
    TProgressCount count(progress, TotalFileBytes(installer));
    return Verify(installer, count);
}

TVerifyResult ExtractSetup(const std::string& setupPath, const std::string& destination,
                           const TArchiveProgress& progress) {
    TInstaller installer("", setupPath, ChecksumProgress(progress));
    // Verified first, then written.
    TProgressCount count(progress, TotalFileBytes(installer));
    const TVerifyResult result = Verify(installer, count);

    const fs::path root = fs::u8path(destination);
    fs::create_directories(root);
    if (!fs::is_empty(root))
        throw Exception("The destination \"" + destination + "\" is not empty");
    std::string rootText = destination;
    if (rootText.back() != PathDelimiter() && rootText.back() != '/')
        rootText += PathDelimiter();

    count.Start("extracting");
    TFolderWriter writer(rootText, count);
    for (const TTopLevelEntry& entry : ReachableTopLevel(installer)) {
        if (entry.Folder) {
            // The program names components and their files in the code page it runs with.
            const std::string name = ProductText(entry.Name);
            installer.ExtractFolder(name, name + PathDelimiter(), installer.ArchiveFileDate, &writer);
        } else {
            const std::unique_ptr<TMemoryStream> content = installer.ReadFile(entry.Name);
            writer.WriteFile(entry.Name, *content, installer.ArchiveFileDate);
        }
    }
    return result;
}
