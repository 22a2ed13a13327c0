// The install engine's last step: the uninstaller, a copy of the running program's image
// flagged as uninstaller, without the setup data and the code signature, with the uninstall
// record appended, and its registration in the list of installed programs. Windows only.

#include "setupdata/SetupData.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/Path.h"
#include "common/Registry.h"
#include "common/Stream.h"
#include "common/WinHandle.h"
#include "setupdata/ArchiveFormat.h"
#include "setupdata/UninstallRecord.h"

namespace {

// Below HKEY_LOCAL_MACHINE, with the leading backslash that the log keeps.
constexpr const char* UninstallKeyPath = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

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
    UniqueHKey parent = OpenKey(HKEY_LOCAL_MACHINE, UninstallKeyPath, KEY_ALL_ACCESS);
    if (!parent)
        return;
    for (const std::string& subKey : SubkeyNames(parent.Get())) {
        std::optional<std::string> uninstallString;
        {
            UniqueHKey key = OpenKey(parent.Get(), subKey);
            if (!key)
                continue;
            uninstallString = ReadStringValue(key.Get(), "UninstallString");
        }
        if (uninstallString && SameFileName(Unquoted(*uninstallString), path))
            DeleteKeyTree(parent.Get(), subKey);
    }
}

// The values beside the name that the list of installed programs shows. A value that cannot be
// written is left out; the key is deleted whole at uninstall, so nothing here needs logging.
void WriteDetails(HKEY key, const TUninstallDetails& details, uint64_t uninstallerSize) {
    const std::pair<const char*, const std::string*> texts[] = {
        {"DisplayVersion", &details.DisplayVersion},
        {"DisplayIcon", &details.DisplayIcon},
        {"InstallLocation", &details.InstallLocation},
        {"Publisher", &details.Publisher},
    };
    for (const auto& [name, value] : texts) {
        if (!value->empty())
            WriteStringValue(key, name, *value);
    }
    // The list shows EstimatedSize (KiB) as the program's size; a part of a KiB counts whole.
    const uint64_t kib = (details.InstalledBytes + uninstallerSize + 1023) / 1024;
    WriteDwordValue(key, "EstimatedSize", static_cast<DWORD>(std::min<uint64_t>(kib, MAXDWORD)));
    // The uninstaller can only remove: without these the list offers to change or repair the
    // installation, and either would start the removal.
    WriteDwordValue(key, "NoModify", 1);
    WriteDwordValue(key, "NoRepair", 1);
}

} // namespace

void TInstaller::WriteUninstaller(const std::string& uninstallerPath, const std::string& keyName,
                                  const std::string& displayName, const void* productData,
                                  int32_t productDataLength, const TUninstallDetails& details) {
    // Without a name the entry would be the list of installed programs itself, and the
    // uninstaller would remove every program's registration with it.
    if (keyName.empty())
        throw ESetupError("The uninstall entry has no name");
    // First, so that the record holds it and the uninstaller removes its own registration
    // before anything else.
    AddLogEntry(lkMachineKey, UninstallKeyPath + keyName);

    uint64_t uninstallerSize = 0;
    {
        TFileStream copy(uninstallerPath, TFileMode::fmCreate);
        // The setup program this engine reads (the running one unless a tool or test named
        // another), through the handle opened at the start: its image without the setup data
        // archive and whatever follows it. Without appended data the whole file is copied, but
        // for a signature.
        TSharedFileView image(Image);
        int64_t imageSize = ImageFields.DataOffset != 0 ? ImageFields.DataOffset : Image->Size();
        const TCertificateTable& signature = ImageFields.Certificate;
        if (signature.Size != 0 && signature.Offset > Archive::MinimumExecutableSize &&
            signature.Offset < imageSize)
            imageSize = signature.Offset;
        copy.CopyFrom(image, imageSize);
        Archive::TImageFields fields;
        fields.DataOffset = static_cast<int32_t>(imageSize);
        fields.Uninstaller = true;
        // A signature does not survive the copy: the header above changes and the certificate
        // table is left behind. The copy says it is not signed rather than point Windows at
        // bytes that are no certificate table ("the signature is corrupt" in its properties).
        if (signature.DirectoryAt != 0 && signature.DirectoryAt + 8 <= imageSize)
            fields.Certificate.DirectoryAt = signature.DirectoryAt;
        fields.Write(copy);
        copy.SetPosition(imageSize);
        WriteUninstallRecord(copy, Version, InstallLog, productData, productDataLength);
        uninstallerSize = static_cast<uint64_t>(copy.Size());
    }

    // The registry is best effort: a failure here leaves a working uninstaller that is only
    // missing from the list of installed programs.
    RemoveRegistrationsOf(uninstallerPath);
    UniqueHKey key = CreateKey(HKEY_LOCAL_MACHINE, UninstallKeyPath + keyName);
    if (!key)
        return;
    WriteStringValue(key.Get(), "DisplayName", displayName);
    // Quoted: Windows runs an unquoted "C:\Program Files\Vendor\Uninst.exe" by trying
    // "C:\Program.exe" first, with the administrator rights the uninstaller asks for.
    WriteStringValue(key.Get(), "UninstallString", "\"" + uninstallerPath + "\"");
    WriteDetails(key.Get(), details, uninstallerSize);
}
