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

// A key that no installation of ours owns: one a single level below a root ("\Software",
// "\CLSID") or the shared list of installed programs itself. The installer logs only keys of
// the product, but a damaged or hand-made record could name one of these, and so could a
// registration written without a key name of its own; deleting it would take every other
// product's keys with it.
bool IsSharedKey(const std::string& path) {
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
    if (components < 2)
        return true;
    for (const char* shared : SharedKeys)
        if (SameText(normalized, shared))
            return true;
    return false;
}

// cmd.exe expands %NAME% in batch files even inside quotes; a doubled %% stands for one %.
std::string BatchText(const std::string& path) {
    std::string text;
    for (char c : path) {
        if (c == '%')
            text += '%';
        text += c;
    }
    return text;
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
    file->SetPosition(Archive::DataOffsetPosition);
    const int32_t dataOffset = file->ReadInt32();
    if (dataOffset < 0)
        throw ESetupError(InvalidDataMessage);
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
    if (IsSharedKey(path))
        return;
    DeleteKeyTree(root, path);
}

void TUninstaller::NoteResult(bool success) {
    if (!success)
        Failed = true;
}

void TUninstaller::RemoveSelf(void* ownerWindow) {
    std::string tempFolder = TempDirectory();
    if (tempFolder.empty())
        tempFolder = "C:\\";
    const std::string batchPath = tempFolder + "Uninstall.bat";
    const std::string text = BuildRemoveSelfBatch(ExecutablePath, DeferredFolders, batchPath);
    {
        TFileStream batch(batchPath, TFileMode::fmCreate);
        batch.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
    }
    // No verb: the file type's default action, which for a batch file runs the command
    // processor on it. The command processor starts in the temporary-files folder: started
    // without a folder it would inherit ours, which may be the program's folder (Explorer
    // starts a program in its own folder), and Windows refuses to remove a folder that is some
    // process's current folder. The outcome is not examined; there is nobody left to tell.
    ::ShellExecuteA(static_cast<HWND>(ownerWindow), nullptr, batchPath.c_str(), nullptr, tempFolder.c_str(),
                    SW_HIDE);
}

std::string BuildRemoveSelfBatch(const std::string& executablePath,
                                 const std::vector<std::string>& deferredFolders,
                                 const std::string& batchPath) {
    const std::string program = BatchText(executablePath);
    std::string text = ":Repeat\r\n";
    text += "del \"" + program + "\"\r\n";
    text += "if exist \"" + program + "\" goto Repeat\r\n";
    for (const std::string& folder : deferredFolders) {
        text += "rd \"" + BatchText(ExcludeDelimiter(folder)) + "\"\r\n";
    }
    text += "del \"" + BatchText(batchPath) + "\"\r\n";
    return text;
}
