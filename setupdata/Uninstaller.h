// The uninstall engine: reads the uninstall record of the running uninstaller, undoes the
// logged actions in reverse order and hands the removal of the uninstaller itself (and of the
// folders around it) to a batch file that runs after the program has ended.
// The declarations are portable; the implementation is Windows only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Version.h"

class TUninstaller {
public:
    // The record of the running program: appended to its executable, or Uninstall.dat beside it.
    TUninstaller();
    // Tools and tests: the uninstaller at executablePath, as if it were the running program.
    explicit TUninstaller(const std::string& executablePath);

    bool Failed = false;
    std::vector<uint8_t> ProductData;   // the product name's bytes; empty when there are none
    int32_t ProductDataLength = 0;
    std::vector<std::string> InstallLog;
    // Folders that the batch file removes after the program has ended; the first line is
    // always the program's own folder.
    std::vector<std::string> DeferredFolders;
    TProgramVersion Version;

    void ReadRecord();
    // Replays the log from the last entry to the first; true when every removal that counts
    // succeeded.
    bool Uninstall();
    // Writes Uninstall.bat into the temporary-files folder and starts it hidden; ownerWindow is
    // the HWND of the application's main window (may be null). Call last, just before exiting.
    void RemoveSelf(void* ownerWindow = nullptr);

private:
    std::string ExecutablePath;
    std::string ProgramFolder;   // with a trailing backslash

    void DeleteItemFile(const std::string& path);
    void RemoveFolder(const std::string& path);
    void RemoveExistingFolder(const std::string& path);
    void RemoveFolderFiles(const std::string& path);
    void DeleteRegistryKey(char kind, const std::string& path);
    void NoteResult(bool success);
};

// The text of the self-removal batch file, CR LF after each line: wait until the uninstaller
// at executablePath can be deleted, remove the deferred folders (each only if empty), then
// delete the batch file at batchPath.
std::string BuildRemoveSelfBatch(const std::string& executablePath,
                                 const std::vector<std::string>& deferredFolders,
                                 const std::string& batchPath);
