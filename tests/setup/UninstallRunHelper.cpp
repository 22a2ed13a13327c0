// The installation side of the uninstall-run test: installs a small product with the install
// engine against a packed Setup.exe, as the installation run does (files, folders, shortcuts,
// registry keys, the uninstaller and its registration), and reports what of it exists.
//   UninstallRunHelper install <Setup.exe> <root>   installs below root
//   UninstallRunHelper state <root>                 prints what exists, one line each
//   UninstallRunHelper batches                      prints the self-removal batch folders
//   UninstallRunHelper clean                        removes the test's registry keys
// Below root: Programs\Other.txt and Desktop\ exist before; the product goes to
// Programs\Vendor\Velmora, its menu to Menu\Velmora, a shortcut to Desktop.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/FileSystem.h"
#include "common/Path.h"
#include "common/Registry.h"
#include "common/WinHandle.h"
#include "setupdata/SetupData.h"
#include "setupdata/Uninstaller.h"
#include "tests/support/TestRegistry.h"

namespace fs = std::filesystem;

namespace {

// Prefixed like every registration the tests make, so that leftovers are easy to find.
const std::string KeyName = "SetupBuilderTest UninstallRun";
const std::string ProductKey = "Software\\SetupBuilderTest UninstallRun\\Velmora";
const std::string RegistrationKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + KeyName;

void CreateKeyWithValue(HKEY root, const std::string& path) {
    WriteRegistryString(root, path + "\\Settings", "Mode", "on");
}

int Install(const std::string& setupExe, std::string root) {
    root = IncludeDelimiter(root);
    CreateDir(root + "Programs");
    std::ofstream(root + "Programs\\Other.txt") << "not ours";
    CreateDir(root + "Desktop");

    TInstaller installer("", setupExe);
    const std::string productFolder = root + "Programs\\Vendor\\Velmora";
    installer.CreateFolder(productFolder, false);
    installer.ExtractComponent("Program", IncludeDelimiter(productFolder), 0);
    installer.CreateFolder(root + "Menu\\Velmora", false);
    installer.CreateShortcut(root + "Menu\\Velmora\\Velmora.lnk", productFolder + "\\Velmora.exe", "", 0);
    installer.CreateShortcut(root + "Desktop\\Velmora.lnk", productFolder + "\\Velmora.exe", "", 0);
    CreateKeyWithValue(HKEY_CURRENT_USER, ProductKey);
    installer.LogRegistryKey(lrCurrentUser, ProductKey);
    CreateKeyWithValue(HKEY_LOCAL_MACHINE, ProductKey);
    installer.LogRegistryKey(lrLocalMachine, ProductKey);
    const std::string product = "Velmora";
    installer.WriteUninstaller(productFolder + "\\Uninst.exe", KeyName, product, product.data(),
                               static_cast<int32_t>(product.size()));
    return 0;
}

int State(const std::string& root) {
    std::vector<std::string> lines;
    const fs::path base(root);
    for (const auto& entry : fs::recursive_directory_iterator(base)) {
        std::string relative = entry.path().lexically_relative(base).string();
        std::replace(relative.begin(), relative.end(), '/', '\\');
        lines.push_back(relative + (entry.is_directory() ? "\\" : ""));
    }
    std::sort(lines.begin(), lines.end());
    if (KeyExists(HKEY_CURRENT_USER, ProductKey))
        lines.push_back("user key");
    if (KeyExists(HKEY_LOCAL_MACHINE, ProductKey))
        lines.push_back("machine key");
    if (KeyExists(HKEY_LOCAL_MACHINE, RegistrationKey))
        lines.push_back("registration");
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    return 0;
}

// The self-removal batch folders that exist now, one name a line.
int Batches() {
    WIN32_FIND_DATAA entry;
    UniqueFind find(::FindFirstFileA((BatchFolderParent() + BatchFolderPrefix + "*").c_str(), &entry));
    for (bool more = static_cast<bool>(find); more; more = ::FindNextFileA(find.Get(), &entry))
        std::printf("%s\n", entry.cFileName);
    return 0;
}

int Clean() {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
        DeleteKeyTree(root, "Software\\SetupBuilderTest UninstallRun");
    DeleteKeyTree(HKEY_LOCAL_MACHINE, RegistrationKey);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    TComInitializer com;
    try {
        const std::string mode = argc > 1 ? argv[1] : "";
        if (mode == "install" && argc == 4)
            return Install(argv[2], argv[3]);
        if (mode == "state" && argc == 3)
            return State(argv[2]);
        if (mode == "batches" && argc == 2)
            return Batches();
        if (mode == "clean" && argc == 2)
            return Clean();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "UninstallRunHelper: %s\n", error.what());
        return 1;
    }
    std::fprintf(stderr,
                 "usage: UninstallRunHelper install <Setup.exe> <root> | state <root> | batches | clean\n");
    return 2;
}
