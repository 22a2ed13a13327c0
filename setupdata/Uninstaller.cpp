// The uninstall engine's portable part: reading the record and replaying the log over the
// file-system and registry seams (common/FileSystem.h, common/RegistryStore.h), so that the
// replay runs natively with real symbolic links as well as under Windows.

#include "setupdata/Uninstaller.h"

#include <algorithm>
#include <memory>

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/FileSystem.h"
#include "common/Path.h"
#include "common/RegistryStore.h"
#include "common/Stream.h"
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
    const size_t components = KeyPathNames(path).size();
    const std::string normalized = CleanKeyPath(path);
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

// Second-level keys below "Software" that belong to no single vendor: Windows' own, the file
// types, the policies, the 32-bit view on 64-bit Windows, the registered clients and
// applications. The walk that removes a product's emptied parent keys never goes into these.
const char* const SharedSoftwareKeys[] = {
    "Microsoft", "Classes", "Policies", "Wow6432Node", "Clients", "RegisteredApplications", "ODBC"};

TRegistryHive RootOf(char kind) {
    return kind == KindClassesRootKey   ? TRegistryHive::ClassesRoot
           : kind == KindCurrentUserKey ? TRegistryHive::CurrentUser
                                        : TRegistryHive::LocalMachine;
}

} // namespace

TUninstaller::TUninstaller() : TUninstaller(ProgramFileName()) {}

TUninstaller::TUninstaller(const std::string& executablePath)
    : TUninstaller(executablePath, SystemRegistry()) {}

TUninstaller::TUninstaller(const std::string& executablePath, IRegistryStore& registry)
    : ExecutablePath(executablePath), ProgramFolder(FileFolder(executablePath)), Registry(registry) {
    DeferredFolders.push_back(ProgramFolder);
    ReadRecord();
}

void TUninstaller::ReadRecord() {
    std::unique_ptr<TFileStream> file =
        std::make_unique<TFileStream>(ExecutablePath, TFileMode::fmOpenReadShared);
    const int32_t dataOffset = Archive::TImageFields::Read(*file).DataOffset;
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

// Links. An elevated uninstaller that deletes through a link that someone put in place of a
// logged folder or file deletes what the link points to: another user's files, or the
// system's. So nothing is removed by following a link, with one exception that users rely on:
// a folder that was a link before the installation (a plug-in folder moved to another drive
// and linked back) is followed, as the installation followed it.
//
// The record does not say what was a link at install time, but it says which folders the
// installation created (D and T entries). A link among those, or between the topmost created
// folder of an item and the item, became one after the installation: nothing logged below it
// is touched (it was not the installation's to begin with: the link's target is someone
// else's), and it counts as removed. Folders above the topmost created folder of the item (the
// drive, Program Files, a vendor folder or plug-in folder that existed, logged as E or not at
// all) were there before, link or not, and are followed. A logged file, or a created folder,
// that is now a link itself is removed as a link (RemoveItem), never what it points to.
//
// Between this look at the folders and the removal of an item below them a folder could still
// be swapped for a link: a race that has to be won anew for each item. Closing it needs every
// item opened relative to a handle of its folder (NtCreateFile with a root directory), which
// the file layer does not do yet.
bool TUninstaller::IsBelowMovedFolder(const std::string& path) {
    // The folders on the way to the item, shallowest first, up to the item's own folder.
    std::vector<size_t> ends;
    for (size_t i = 1; i < path.size(); ++i)
        if (IsPathDelimiter(path[i]))
            ends.push_back(i);
    auto end = std::find_if(ends.begin(), ends.end(), [&](size_t folderEnd) {
        return CreatedFolders.count(LogPathKey(path.substr(0, folderEnd))) != 0;
    });
    for (; end != ends.end(); ++end) {
        const std::string folder = path.substr(0, *end);
        const std::string key = LogPathKey(folder);
        auto known = FolderKinds.find(key);
        if (known == FolderKinds.end())
            known = FolderKinds.emplace(key, ItemKindAt(folder)).first;
        // A link, or nothing at all: the item is not there to remove, as far as we may look.
        if (known->second != TItemKind::Folder)
            return true;
    }
    return false;
}

bool TUninstaller::Uninstall() {
    Failed = false;
    CreatedFolders.clear();
    FolderKinds.clear();
    for (const std::string& line : InstallLog)
        if (line.size() > 1 && (line[0] == KindFolder || line[0] == KindFolderWithFiles))
            CreatedFolders.insert(LogPathKey(line.substr(1)));

    // The window's bar needs a few hundred steps at most, not one call per entry.
    const size_t total = InstallLog.size();
    const size_t step = std::max<size_t>(1, total / 256);
    if (OnProgress)
        OnProgress(0, total);
    size_t done = 0;
    for (auto line = InstallLog.rbegin(); line != InstallLog.rend(); ++line) {
        ReplayEntry(*line);
        ++done;
        if (OnProgress && (done % step == 0 || done == total))
            OnProgress(done, total);
    }
    return !Failed;
}

void TUninstaller::ReplayEntry(const std::string& line) {
    // The installer never writes an empty line; a damaged record may hold one.
    if (line.empty())
        return;
    const char kind = line[0];
    const std::string path = line.substr(1);
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

// An item that is gone already counts as removed: the same file logged twice (a component
// extracted twice, two records merged) or a path spelled with doubled separators must not turn
// a complete removal into "Some items could not be removed". What is still there afterwards is
// what counts: something of another kind in the item's place (a folder where the file was) is
// not ours to remove and counts as left; a link in its place goes as a link.
void TUninstaller::RemoveLoggedItem(const std::string& loggedPath, TItemKind expected) {
    const std::string path = NormalizedLogPath(loggedPath);
    if (IsBelowMovedFolder(path))
        return;
    const TItemKind kind = ItemKindAt(path);
    if (kind == TItemKind::Missing)
        return;
    if (kind != expected && kind != TItemKind::Link) {
        NoteResult(false);
        return;
    }
    // The program's own folder and every folder that contains it cannot be removed while the
    // uninstaller runs from it: leave them to the batch file. The test compares characters, so
    // "C:\Program Files\Vendor\" matches a program folder "C:\Program Files\Vendor\Velmora\".
    if (kind == TItemKind::Folder && path.size() <= ProgramFolder.size() &&
        SameFileName(path, std::string_view(ProgramFolder).substr(0, path.size()))) {
        DeferredFolders.push_back(loggedPath);
        return;
    }
    FolderKinds.erase(LogPathKey(path));
    NoteResult(RemoveItem(path));
}

void TUninstaller::DeleteItemFile(const std::string& path) {
    RemoveLoggedItem(path, TItemKind::File);
}

void TUninstaller::RemoveFolder(const std::string& path) {
    RemoveLoggedItem(path, TItemKind::Folder);
}

void TUninstaller::RemoveExistingFolder(const std::string&) {
    // A folder that was there before the installation stays, empty or not: it may be the
    // user's own (an empty Documents folder), and a plug-in host's folder that is empty now
    // will be wanted again by the host.
}

void TUninstaller::RemoveFolderFiles(const std::string& loggedPath) {
    const std::string path = NormalizedLogPath(loggedPath);
    if (!IsBelowMovedFolder(path) && ItemKindAt(path) == TItemKind::Folder) {
        // The plain files directly inside; a link among them goes as a link. Subfolders stay.
        const std::string folder = path + PathDelimiter();
        for (const TFolderEntry& entry : FolderEntries(path))
            if (entry.Kind == TItemKind::File || entry.Kind == TItemKind::Link)
                RemoveItem(folder + entry.Name);
    }
    RemoveFolder(loggedPath);
}

void TUninstaller::DeleteRegistryKey(char kind, const std::string& path) {
    // The log writes key paths with a leading backslash.
    if (IsSharedKey(kind, path))
        return;
    Registry.DeleteKeyTree(RootOf(kind), path);
    if (kind != KindClassesRootKey)
        RemoveEmptyParentKeys(RootOf(kind), path);
}

void TUninstaller::RemoveEmptyParentKeys(TRegistryHive root, const std::string& path) {
    // The product's keys lie below Software\<vendor> (RegistryRoot, then a version key).
    // Once they are gone, the product's root and the vendor's key are left behind empty by the
    // last of the vendor's products: the walk up removes each parent that holds neither values
    // nor subkeys, up to and including the vendor's key, and stops at the first that holds
    // anything. Never "Software" itself, nor a key outside it or below a shared second level.
    const std::vector<std::string> names = KeyPathNames(path);
    if (names.size() < 3 || !SameText(names[0], "Software"))
        return;
    for (const char* shared : SharedSoftwareKeys)
        if (SameText(names[1], shared))
            return;
    std::string parent = names[0];
    std::vector<std::string> parents;
    for (size_t i = 1; i + 1 < names.size(); ++i) {
        parent += "\\" + names[i];
        parents.push_back(parent);
    }
    for (auto key = parents.rbegin(); key != parents.rend(); ++key)
        if (!Registry.DeleteEmptyKey(root, *key))
            break;
}

void TUninstaller::NoteResult(bool success) {
    if (!success)
        Failed = true;
}
