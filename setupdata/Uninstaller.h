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
    std::vector<uint8_t> ProductData; // the product name's bytes; empty when there are none
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
    // Writes Uninstall.bat into a new folder of its own below BatchFolderParent() and starts
    // the command processor on it without a window. The batch file tries to delete the
    // uninstaller up to attempts times, about a second apart, removes the deferred folders,
    // then itself and its folder. Call last, just before exiting.
    void RemoveSelf(int attempts = RemoveSelfAttempts);
    // The batch file that RemoveSelf wrote; empty before.
    std::string BatchFile;

    static constexpr int RemoveSelfAttempts = 60;

private:
    std::string ExecutablePath;
    std::string ProgramFolder; // with a trailing backslash

    void DeleteItemFile(const std::string& path);
    void RemoveFolder(const std::string& path);
    void RemoveExistingFolder(const std::string& path);
    void RemoveFolderFiles(const std::string& path);
    void DeleteRegistryKey(char kind, const std::string& path);
    void NoteResult(bool success);
};

// The folder of a self-removal batch file is named BatchFolderPrefix followed by 32 hexadecimal
// digits from the system's random number generator, created new for each run.
constexpr const char* BatchFolderPrefix = "SetupUninst-";
// Where the batch folders are created, with a trailing backslash: for a program that holds
// administrator rights the Temp folder of Windows itself, for any other the user's folder for
// temporary files.
std::string BatchFolderParent();

// The self-removal batch file at batchFile: wait until the uninstaller at executablePath can be
// deleted (at most attempts tries), then remove the deferred folders (each only if empty).
// Text is plain ASCII with CR LF line ends and names no path; the paths are in Variables, to be
// set in the environment of the command processor that runs it. Command, for the command
// processor's /c, runs the batch file, then deletes it and removes its folder. systemFolder is
// the Windows system folder, where the programs it starts are.
struct TRemoveSelfBatch {
    std::string Text;
    std::vector<std::pair<std::string, std::string>> Variables; // name, value
    std::string Command;
};
TRemoveSelfBatch BuildRemoveSelfBatch(const std::string& executablePath,
                                      const std::vector<std::string>& deferredFolders,
                                      const std::string& batchFile, const std::string& systemFolder,
                                      int attempts);
