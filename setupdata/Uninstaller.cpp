#include "setupdata/Uninstaller.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/FileEnumerator.h"
#include "common/FileSystem.h"
#include "common/Registry.h"
#include "common/Stream.h"
#include "common/WinHandle.h"
#include "setupdata/ArchiveFormat.h"
#include "setupdata/UninstallRecord.h"

using namespace UninstallRecord;

namespace {

// The list of installed programs, shared by every product on the machine; the second form is
// where a 32-bit program's view of it lives on 64-bit Windows.
const char* const SharedKeys[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
};

// Keys right below HKEY_CLASSES_ROOT that every program shares: the tables of COM classes,
// interfaces, type libraries and applications, the shell's entries for every file, folder and
// drive, MIME types, Windows Installer's data, the 32-bit view on 64-bit Windows and the
// per-user "Local Settings".
const char* const SharedClassesRootKeys[] = {"CLSID",
                                             "Interface",
                                             "TypeLib",
                                             "AppID",
                                             "*",
                                             "Directory",
                                             "Folder",
                                             "Drive",
                                             "AllFilesystemObjects",
                                             "SystemFileAssociations",
                                             "MIME",
                                             "Installer",
                                             "WOW6432Node",
                                             "Local Settings"};

// A key that no installation of ours owns. Under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE:
// one a single level below the root ("\Software") or the shared list of installed programs
// itself. Under HKEY_CLASSES_ROOT a product's own keys sit right below the root (an extension
// ".abc", a type name "Vendor.Document"), so only the shared keys listed above are refused
// there. The installer logs only keys of the product, but a damaged or hand-made record could
// name one of these, and so could a registration written without a key name of its own;
// deleting it would take every other product's keys with it.
bool IsSharedKey(char kind, const std::string& path) {
    std::string normalized;
    int components = 0;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start) {
            if (!normalized.empty())
                normalized += '\\';
            normalized.append(path, start, end - start);
            ++components;
        }
        start = end + 1;
    }
    if (components == 0)
        return true;
    if (kind == KindClassesRootKey) {
        if (components > 1)
            return false;
        for (const char* shared : SharedClassesRootKeys)
            if (SameText(normalized, shared))
                return true;
        return false;
    }
    if (components < 2)
        return true;
    for (const char* shared : SharedKeys)
        if (SameText(normalized, shared))
            return true;
    return false;
}

} // namespace

TUninstaller::TUninstaller() : TUninstaller(ProgramFileName()) {}

TUninstaller::TUninstaller(const std::string& executablePath)
    : ExecutablePath(executablePath), ProgramFolder(FileFolder(executablePath)) {
    DeferredFolders.push_back(ProgramFolder);
    ReadRecord();
}

void TUninstaller::ReadRecord() {
    std::unique_ptr<TFileStream> file =
        std::make_unique<TFileStream>(ExecutablePath, TFileMode::fmOpenReadShared);
    const int32_t dataOffset = Archive::ReadDataOffset(*file);
    if (dataOffset == 0) {
        file.reset();
        file = std::make_unique<TFileStream>(ProgramFolder + "Uninstall.dat", TFileMode::fmOpenReadExclusive);
    }
    file->SetPosition(dataOffset);

    TUninstallRecord record;
    ReadUninstallRecord(*file, file->Size(), record);
    Version = record.Version;
    InstallLog = std::move(record.InstallLog);
    ProductData = std::move(record.ProductData);
    ProductDataLength = record.ProductDataLength;
}

bool TUninstaller::Uninstall() {
    Failed = false;
    for (auto line = InstallLog.rbegin(); line != InstallLog.rend(); ++line) {
        // The installer never writes an empty line; a damaged record may hold one.
        if (line->empty())
            continue;
        const char kind = (*line)[0];
        const std::string path = line->substr(1);
        switch (kind) {
        case KindFile:
            DeleteItemFile(path);
            break;
        case KindFolder:
            RemoveFolder(path);
            break;
        case KindExistingFolder:
            RemoveExistingFolder(path);
            break;
        case KindFolderWithFiles:
            RemoveFolderFiles(path);
            break;
        case KindClassesRootKey:
        case KindCurrentUserKey:
        case KindLocalMachineKey:
            DeleteRegistryKey(kind, path);
            break;
        default:
            break;
        }
    }
    return !Failed;
}

void TUninstaller::DeleteItemFile(const std::string& path) { NoteResult(DeleteFileAt(path)); }

void TUninstaller::RemoveFolder(const std::string& path) {
    // The program's own folder and every folder that contains it cannot be removed while the
    // uninstaller runs from it: leave them to the batch file. The test compares characters,
    // so "C:\Program Files\Vendor\" matches a program folder "C:\Program Files\Vendor\Velmora\".
    if (DirectoryExists(path) && path.size() <= ProgramFolder.size() &&
        SameText(path, std::string_view(ProgramFolder).substr(0, path.size()))) {
        DeferredFolders.push_back(path);
        return;
    }
    NoteResult(RemoveDir(path));
}

void TUninstaller::RemoveExistingFolder(const std::string& path) { RemoveDir(path); }

void TUninstaller::RemoveFolderFiles(const std::string& path) {
    const std::string folder = IncludeDelimiter(path);
    TFileEnumerator entries(folder + "*.*",
                            faReadOnly | faHidden | faSystem | faVolumeLabel | faDirectory | faArchive);
    while (entries.Next()) {
        if (!entries.HasAttribute(faDirectory))
            DeleteFileAt(folder + entries.FileName());
    }
    RemoveFolder(path);
}

void TUninstaller::DeleteRegistryKey(char kind, const std::string& path) {
    const HKEY root = kind == KindClassesRootKey   ? HKEY_CLASSES_ROOT
                      : kind == KindCurrentUserKey ? HKEY_CURRENT_USER
                                                   : HKEY_LOCAL_MACHINE;
    // The log writes key paths with a leading backslash.
    if (IsSharedKey(kind, path))
        return;
    DeleteKeyTree(root, path);
}

void TUninstaller::NoteResult(bool success) {
    if (!success)
        Failed = true;
}

void TUninstaller::RemoveSelf(void* ownerWindow, int attempts) {
    std::string tempFolder = TempDirectory();
    if (tempFolder.empty())
        tempFolder = "C:\\";
    const std::string batchPath = tempFolder + "Uninstall.bat";
    const TRemoveSelfBatch batch = BuildRemoveSelfBatch(ExecutablePath, DeferredFolders, attempts);
    {
        TFileStream file(batchPath, TFileMode::fmCreate);
        file.WriteBuffer(batch.Text.data(), static_cast<int32_t>(batch.Text.size()));
    }
    // The command processor inherits our environment. Windows keeps it in UTF-16 and converts
    // from the ANSI code page here, so the paths arrive exactly as we know them.
    for (const auto& [name, value] : batch.Variables)
        ::SetEnvironmentVariableA(name.c_str(), value.c_str());
    // No verb: the file type's default action, which for a batch file runs the command
    // processor on it. The command processor starts in the temporary-files folder: started
    // without a folder it would inherit ours, which may be the program's folder (Explorer
    // starts a program in its own folder), and Windows refuses to remove a folder that is some
    // process's current folder. The outcome is not examined; there is nobody left to tell.
    ::ShellExecuteA(static_cast<HWND>(ownerWindow), nullptr, batchPath.c_str(), nullptr, tempFolder.c_str(),
                    SW_HIDE);
}

TRemoveSelfBatch BuildRemoveSelfBatch(const std::string& executablePath,
                                      const std::vector<std::string>& deferredFolders, int attempts) {
    // The command processor reads a batch file in the console's code page (the OEM one, or
    // whatever "chcp" or an AutoRun command chose), not in the ANSI code page that our paths
    // are in, so a path with "\xFC" in it would name another file. The text therefore holds no
    // path at all: the paths travel in environment variables, and the batch file finds its
    // own path as %~f0. In quotes, an expanded value is taken literally: "&", "^" and
    // parentheses in a folder name need no escaping.
    TRemoveSelfBatch batch;
    batch.Variables.emplace_back("SetupUninstProgram", executablePath);
    for (size_t i = 0; i < deferredFolders.size(); ++i)
        batch.Variables.emplace_back("SetupUninstFolder" + std::to_string(i + 1),
                                     ExcludeDelimiter(deferredFolders[i]));
    // Windows expands a value once, with %NAME% as with !NAME!. Wine's command processor
    // expands the expanded text again: "%" in a value is lost with %NAME%, "!" with !NAME!.
    // A path with "%" therefore uses delayed expansion, any other the plain one, which also
    // keeps a "!" (delayed expansion can be switched on for every command processor in the
    // registry, so the batch chooses for itself).
    bool delayed = false;
    for (const auto& variable : batch.Variables)
        delayed = delayed || variable.second.find('%') != std::string::npos;
    const auto value = [delayed](const std::string& name) {
        return delayed ? "\"!" + name + "!\"" : "\"%" + name + "%\"";
    };
    std::string text = "@echo off\r\n";
    text += delayed ? "setlocal EnableDelayedExpansion\r\n" : "setlocal DisableDelayedExpansion\r\n";
    text += "set SetupUninstAttempt=0\r\n"
            ":Repeat\r\n";
    // /f: a read-only uninstaller is deleted too.
    text += "del /f /q " + value("SetupUninstProgram") + " >nul 2>nul\r\n";
    text += "if not exist " + value("SetupUninstProgram") + " goto Removed\r\n";
    // Bounded: a file that stays (held open by another program, denied to us) must not keep
    // a hidden process looping for ever.
    text += "set /a SetupUninstAttempt+=1\r\n"
            "if %SetupUninstAttempt% geq " +
            std::to_string(attempts) +
            " goto Removed\r\n"
            // About a second: the second echo request goes out a second after the first. The
            // command processor has no pause of its own that works without console input.
            "ping -n 2 127.0.0.1 >nul\r\n"
            "goto Repeat\r\n"
            ":Removed\r\n";
    for (size_t i = 1; i < batch.Variables.size(); ++i)
        text += "rd " + value(batch.Variables[i].first) + " 2>nul\r\n";
    text += "del \"%~f0\"\r\n";
    batch.Text = std::move(text);
    return batch;
}
