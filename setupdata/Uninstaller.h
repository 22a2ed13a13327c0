// The uninstall engine: reads the uninstall record of the running uninstaller, undoes the
// logged actions in reverse order and hands the removal of the uninstaller itself (and of the
// folders around it) to a batch file that runs after the program has ended.
// The record and the replay are portable, over the file-system and registry seams
// (Uninstaller.cpp); the self-removal is Windows only (UninstallerWin32.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/FileSystem.h"
#include "common/RegistryStore.h"
#include "common/Version.h"

class TUninstaller {
public:
    // The record of the running program: appended to its executable, or Uninstall.dat beside it.
    TUninstaller();
    // Tools and tests: the uninstaller at executablePath, as if it were the running program.
    explicit TUninstaller(const std::string& executablePath);
    // The same over a registry of the caller's (tests: one in memory).
    TUninstaller(const std::string& executablePath, IRegistryStore& registry);

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
    // succeeded. An item that is gone already counts as removed; a folder that existed before
    // the installation (E) stays; nothing is removed through a link (see Uninstaller.cpp).
    bool Uninstall();
    // Called on the replay's thread as it goes, with the entries done of the total: first with
    // (0, total), last with (total, total), and in between at most about 256 times, so that a
    // window can move a bar without hearing of every entry.
    std::function<void(size_t done, size_t total)> OnProgress;
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
    IRegistryStore& Registry;
    // During Uninstall: the folders the installation created (D and T), by LogPathKey, and
    // what the replay found at the folders it looked at.
    std::set<std::string> CreatedFolders;
    std::map<std::string, TItemKind> FolderKinds;

    void ReplayEntry(const std::string& line);
    void DeleteItemFile(const std::string& path);
    void RemoveFolder(const std::string& path);
    void RemoveExistingFolder(const std::string& path);
    void RemoveFolderFiles(const std::string& path);
    void DeleteRegistryKey(char kind, const std::string& path);
    void RemoveEmptyParentKeys(TRegistryHive root, const std::string& path);
    void NoteResult(bool success);
    bool IsBelowMovedFolder(const std::string& path);
    void RemoveLoggedItem(const std::string& path, TItemKind expected);
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
