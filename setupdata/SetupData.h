// The install engine over the setup data archive (TInstaller) and, later, the uninstall
// engine over the uninstall record (TUninstaller).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Errors.h"
#include "common/Stream.h"
#include "common/Version.h"
#include "setupdata/ArchiveFormat.h"

class TInstaller {
public:
    // Opens and verifies the archive of the running program: the data resource ResourceName
    // when not empty, else the archive appended to the executable, else Setup.dat beside it.
    explicit TInstaller(const std::string& resourceName);
    // Tools and tests: the archive of the setup program at executablePath (appended, or
    // Setup.dat beside it), or, when the file does not start with "MZ", the file itself
    // read as a Setup.dat.
    TInstaller(const std::string& resourceName, const std::string& executablePath);
    ~TInstaller();

    int32_t EntriesStart = 0;
    uint32_t ArchiveFileDate = 0;
    std::vector<std::string> InstallLog;
    std::function<void(TInstaller& sender, std::string& fileName)> OnExtractFile;
    bool Overwrite = true;
    std::string ResourceName;
    TProgramVersion Version;

    std::unique_ptr<TStream> OpenArchive();
    void ReadHeader();
    // Uncompressed bytes of the top-level file Name, or null when there is none.
    std::unique_ptr<TMemoryStream> ReadFile(const std::string& name);
    int32_t ComponentSize(const std::string& name);

    // Every entry of the archive in stored order, for listing tools: the path of the entry
    // relative to the archive's root ("\" separated) and its record.
    void ListEntries(const std::function<void(const std::string& path, const Archive::TEntryRecord&)>& visit);

private:
    std::string ExecutablePath;
};
