// The install engine TInstaller over the setup data archive: opening and verifying it, reading
// its files, measuring and extracting components (through IExtractTarget) and keeping the
// install log, which it writes into the uninstaller. Also includes the uninstall engine
// (setupdata/Uninstaller.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/Errors.h"
#include "common/Stream.h"
#include "common/Version.h"
#include "setupdata/ArchiveFormat.h"

class TInstaller;

// Where the tree walk sends what it meets when it walks into a destination: the install
// engine creates and logs folders and files; tools supply their own.
class IExtractTarget {
public:
    // Called once per entry list before its first record, with the list's destination
    // folder (ending with the path delimiter).
    virtual void PrepareFolder(const std::string& folder) = 0;
    // One file entry: archive stands at the start of its content (a zlib stream of
    // record.ContentLength bytes inflating to record.FileSize bytes); target is the
    // destination folder + the entry's name. The walk seeks past the content afterwards,
    // whatever this leaves the stream at.
    virtual void ExtractFile(TStream& archive, const Archive::TEntryRecord& record, const std::string& target,
                             uint32_t fileDate) = 0;

protected:
    ~IExtractTarget() = default;
};

// The kinds of install log entry, in the order of their letters F, D, T, U, C, M, E.
enum TLogKind { lkFile, lkFolder, lkFolderFiles, lkUserKey, lkClassesKey, lkMachineKey, lkExistingFolder };

// The registry roots whose keys the install log can hold; any other root is not logged.
enum TLogRoot { lrClassesRoot, lrCurrentUser, lrLocalMachine, lrOther };

using Archive::TCertificateTable;

// What the list of installed programs shows of an installation besides its name. Empty texts
// are not written.
struct TUninstallDetails {
    std::string DisplayVersion;
    std::string DisplayIcon;
    std::string InstallLocation;
    std::string Publisher;
    // The bytes of the files the installation wrote; the uninstaller adds its own size.
    uint64_t InstalledBytes = 0;
};

// How ExtractComponent treats the files of one extraction.
struct TExtractOptions {
    // Replace files that exist; when false, an existing file is left alone and not logged.
    bool Overwrite = true;
    // Called with each file's target path before it is written; may change it, or empty it
    // to skip the file. It runs on the thread that called ExtractComponent while the files
    // handed over before are written on another, which adds to the installer's log and sizes
    // meanwhile: so it is given the path alone, and must not reach into the installer.
    std::function<void(std::string& fileName)> OnExtractFile;
    // Called now and then while files are written, with BytesWritten(), on the thread that
    // called ExtractComponent.
    std::function<void(uint64_t bytesWritten)> OnProgress;
};

class TInstaller {
public:
    // Opens and verifies the archive of the running program: the data resource ResourceName
    // when not empty, else the archive appended to the executable, else Setup.dat beside it.
    //
    // The program's file, and Setup.dat when the archive is there, are opened once, here, for
    // reading with others allowed to read only (TSharedReadFile), and every later read comes
    // from those handles: the verification, the configuration files, each component, each
    // inflating thread and the image copied into the uninstaller. The setup program may run
    // with administrator rights from a folder its user can write to (Downloads); were a path
    // opened again, the user could have put another program there after the elevation
    // prompt showed this one's signature.
    explicit TInstaller(const std::string& resourceName);
    // Tools and tests: the archive of the setup program at executablePath (appended, or
    // Setup.dat beside it), or, when the file does not start with "MZ", the file itself
    // read as a Setup.dat. checksumProgress, when set, hears now and then how many bytes of
    // how many the checksum has covered, for tools that open archives of gigabytes.
    TInstaller(const std::string& resourceName, const std::string& executablePath,
               std::function<void(int64_t done, int64_t total)> checksumProgress = nullptr);
    ~TInstaller();

    int32_t EntriesStart = 0;
    uint32_t ArchiveFileDate = 0;
    std::vector<std::string> InstallLog;
    std::string ResourceName;
    TProgramVersion Version;
    // The code signature that follows the archive in the program's file; Size 0 when none.
    TCertificateTable CodeSignature;
    // The fields of the program's image (for a Setup.dat given to a tool: of that file).
    Archive::TImageFields ImageFields;

    std::unique_ptr<TStream> OpenArchive();
    // Verifies signature, checksum and the record structure of the whole tree, then reads the
    // build date and the version. Raises ESetupError for damaged data, which includes bytes
    // after the archive's end other than the program's Authenticode signature.
    void ReadHeader();
    // Uncompressed bytes of the top-level file Name, or null when there is none.
    std::unique_ptr<TMemoryStream> ReadFile(const std::string& name);
    // The sum of the uncompressed sizes of everything in the top-level folder name, in 64 bits:
    // a component of many compressible files may exceed 4 GiB; 0 when there is none.
    int64_t ComponentSize(const std::string& name);

    // Extracts the top-level folder name with everything below it into destination, stamping
    // each file with fileDate (a packed DOS date-time; 0 = the archive's date) and logging
    // what it creates. With an empty destination nothing is written and the result is the
    // component's size; otherwise the result is 0.
    int32_t ExtractComponent(const std::string& name, const std::string& destination, uint32_t fileDate,
                             const TExtractOptions& options = {});
    // The bytes of the files extracted so far: a file written more than once (a component
    // without bundle symbols, once per item) counts once, at its last size.
    uint64_t ExtractedBytes() const;
    // The bytes written into files by every extraction so far, as they are written.
    uint64_t BytesWritten() const { return Written; }
    // Creates path with its missing parents and logs them (E existing, D created, T created
    // with markFiles); true when the folder exists afterwards.
    bool CreateFolder(const std::string& path, bool markFiles);
    void AddLogEntry(TLogKind kind, const std::string& path);
    void LogRegistryKey(TLogRoot root, const std::string& keyPath);
    // Creates a shortcut file through the shell and logs it as a file.
    void CreateShortcut(const std::string& linkPath, const std::string& target, const std::string& arguments,
                        int iconIndex);
    // Writes the uninstaller copy of the running program with the uninstall record appended,
    // and registers it in the list of installed programs under keyName, with details.
    void WriteUninstaller(const std::string& uninstallerPath, const std::string& keyName,
                          const std::string& displayName, const void* productData, int32_t productDataLength,
                          const TUninstallDetails& details = {});

    // Looks up the top-level folder name and walks its tree into destination (ending with the
    // path delimiter, or empty to measure): folders go to target->PrepareFolder, files to
    // target->ExtractFile. Returns the measured size for an empty destination, else 0; 0 also
    // when there is no such folder. target may be null only for an empty destination.
    int64_t ExtractFolder(const std::string& name, const std::string& destination, uint32_t fileDate,
                          IExtractTarget* target);

    // Every entry of the archive in stored order, for listing tools: the path of the entry
    // relative to the archive's root ("\" separated) and its record.
    void ListEntries(const std::function<void(const std::string& path, const Archive::TEntryRecord&)>& visit);

private:
    // The byte range of one entry list and how deep it lies (the top-level list is at 0).
    struct TEntryList {
        int64_t Start;
        int64_t End;
        int Depth;
    };
    class TListReader;

    std::string ExecutablePath;
    std::function<void(int64_t done, int64_t total)> ChecksumProgress;
    // The program's file, and the file that holds the archive (the same one, or Setup.dat),
    // with where the archive starts in it; no archive file for the resource form.
    std::shared_ptr<const TSharedReadFile> Image;
    std::shared_ptr<const TSharedReadFile> ArchiveFile;
    int64_t ArchiveStart = 0;

    void OpenFiles();
    // The size of each extracted file by its path's FileNameKey: Windows names one file in any
    // letter case.
    std::map<std::string, uint64_t> ExtractedSizes;
    // Counted by the thread that writes the files.
    std::atomic<uint64_t> Written{0};

    TEntryList TopLevelList(TStream& archive) const;
    // Positions archive at the content of the first top-level entry called name of the
    // wanted kind and returns its record and content range; false when there is none.
    bool FindTopLevel(TStream& archive, const std::string& name, bool folder, Archive::TEntryRecord& record,
                      TEntryList& content);
    int64_t ExtractEntries(TStream& archive, const TEntryList& list, const std::string& destination,
                           uint32_t fileDate, IExtractTarget* target);
    void VisitEntries(TStream& archive, const TEntryList& list, const std::string& parent,
                     const std::function<void(const std::string&, const Archive::TEntryRecord&)>& visit);
};

// The uninstall engine lives in its own header.
#include "setupdata/Uninstaller.h"
