// The Windows-only operations of the install engine: shortcuts through the shell link object,
// and the uninstaller copy with its registration in the list of installed programs.

#include "setupdata/SetupData.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/Registry.h"
#include "common/Stream.h"
#include "common/WinHandle.h"
#include "setupdata/ArchiveFormat.h"
#include "setupdata/UninstallRecord.h"
#include "shell/ShellUtils.h"

namespace {

// Below HKEY_LOCAL_MACHINE. The log keeps the leading backslash (the uninstaller accepts it);
// the registry functions refuse it.
constexpr const char* UninstallKeyPath = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string RegistryPath(const std::string& path) {
    return !path.empty() && path[0] == '\\' ? path.substr(1) : path;
}

void WriteStringValue(HKEY key, const char* name, const std::string& value) {
    ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
}

// A command line names the program in quotes when its path has blanks; a registration
// written before the quotes (or by another setup) may name it without them.
std::string Unquoted(const std::string& commandLine) {
    if (commandLine.size() >= 2 && commandLine.front() == '"' && commandLine.back() == '"')
        return commandLine.substr(1, commandLine.size() - 2);
    return commandLine;
}

// Removes every registration under the uninstall key whose "UninstallString" names the
// uninstaller at path, quoted or not, in any letter case. The names are listed once, before
// the first deletion shifts the indices. Registry errors skip the subkey.
void RemoveRegistrationsOf(const std::string& path) {
    const std::string parentPath = RegistryPath(UninstallKeyPath);
    UniqueHKey parent;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, parentPath.c_str(), 0, KEY_ALL_ACCESS, parent.Put()) !=
        ERROR_SUCCESS)
        return;
    for (const std::string& subKey : SubkeyNames(parent.Get())) {
        std::optional<std::string> uninstallString;
        {
            UniqueHKey key;
            if (::RegOpenKeyExA(parent.Get(), subKey.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
                continue;
            uninstallString = ReadStringValue(key.Get(), "UninstallString");
        }
        if (uninstallString && SameText(Unquoted(*uninstallString), path))
            DeleteKeyTree(parent.Get(), subKey);
    }
}

} // namespace

void TInstaller::CreateShortcut(const std::string& linkPath, const std::string& target,
                                const std::string& arguments, int iconIndex) {
    CreateShellLink(linkPath, target, arguments, iconIndex);
    AddLogEntry(lkFile, linkPath);
}

void TInstaller::WriteUninstaller(const std::string& uninstallerPath, const std::string& keyName,
                                  const std::string& displayName, const void* productData,
                                  int32_t productDataLength) {
    // First, so that the record holds it and the uninstaller removes its own registration
    // before anything else.
    AddLogEntry(lkMachineKey, UninstallKeyPath + keyName);

    {
        TFileStream copy(uninstallerPath, TFileMode::fmCreate);
        int32_t imageSize;
        {
            // The setup program this engine reads (the running one unless a tool or test named
            // another): its image without the setup data archive and whatever follows it.
            // DataOffset 0 means nothing is appended; a negative one is read the same way, as
            // the archive reader does, so the whole file is copied.
            TFileStream image(ExecutablePath.empty() ? ProgramFileName() : ExecutablePath,
                              TFileMode::fmOpenReadShared);
            image.SetPosition(Archive::DataOffsetPosition);
            imageSize = image.ReadInt32();
            if (imageSize <= 0)
                imageSize = static_cast<int32_t>(image.Size());
            image.SetPosition(0);
            copy.CopyFrom(image, imageSize);
        }
        copy.SetPosition(Archive::DataOffsetPosition);
        copy.WriteInt32(imageSize);
        copy.WriteInt32(1); // UninstallFlag at offset 52
        copy.SetPosition(imageSize);
        WriteUninstallRecord(copy, Version, InstallLog, productData, productDataLength);
    }

    // The registry is best effort: a failure here leaves a working uninstaller that is only
    // missing from the list of installed programs.
    RemoveRegistrationsOf(uninstallerPath);
    UniqueHKey key;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, RegistryPath(UninstallKeyPath + keyName).c_str(), 0, nullptr,
                          REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.Put(),
                          nullptr) != ERROR_SUCCESS)
        return;
    WriteStringValue(key.Get(), "DisplayName", displayName);
    // Quoted: Windows runs an unquoted "C:\Program Files\Vendor\Uninst.exe" by trying
    // "C:\Program.exe" first, with the administrator rights the uninstaller asks for.
    WriteStringValue(key.Get(), "UninstallString", "\"" + uninstallerPath + "\"");
}
