// The uninstall engine: reads the uninstall record of the running uninstaller, undoes the
// logged actions in reverse order and hands the removal of the uninstaller itself (and of the
// folders around it) to a batch file that runs after the program has ended.
// The declarations are portable; the implementation is Windows only.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
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
    // the HWND of the application's main window (may be null). The batch file tries to delete
    // the uninstaller up to attempts times, about a second apart. Call last, just before exiting.
    void RemoveSelf(void* ownerWindow = nullptr, int attempts = RemoveSelfAttempts);

    static constexpr int RemoveSelfAttempts = 60;

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

// The self-removal batch file: wait until the uninstaller at executablePath can be deleted
// (at most attempts tries), remove the deferred folders (each only if empty), then delete
// itself. Text is plain ASCII with CR LF line ends and names no path; the paths are in
// Variables, to be set in the environment of the command processor that runs it.
struct TRemoveSelfBatch {
    std::string Text;
    std::vector<std::pair<std::string, std::string>> Variables; // name, value
};
TRemoveSelfBatch BuildRemoveSelfBatch(const std::string& executablePath,
                                      const std::vector<std::string>& deferredFolders, int attempts);
