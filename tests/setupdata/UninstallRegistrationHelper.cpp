// For the test against Wine's own list of installed programs (uninstall-registration.sh):
//   register FOLDER    writes a setup program into FOLDER, has the install engine write
//                      FOLDER\Program Files\Velmora\Uninst.exe and register it; prints the key
//   unregister FOLDER  replays that uninstaller's record through the uninstall engine, which
//                      removes the registration (the record's last entry)
// Exit code 0 when done, 1 on an error (printed), 2 for a wrong command line.

#include <cstdio>
#include <string>

#include "common/Errors.h"
#include "common/Path.h"
#include "setupdata/SetupData.h"
#include "tests/setupdata/ArchiveBuilder.h"

namespace {

// Not the prefix of the gtest cases, which remove every registration of theirs.
const std::string ProductName = "SetupBuilderListTest Velmora 5";

std::string UninstallerPath(const std::string& folder) {
    return IncludeDelimiter(folder) + "Program Files\\Velmora\\Uninst.exe";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: UninstallRegistrationHelper register|unregister FOLDER\n");
        return 2;
    }
    const std::string command = argv[1];
    const std::string folder = IncludeDelimiter(argv[2]);
    try {
        if (command == "register") {
            const std::string setup = folder + "Setup.exe";
            WriteBytes(
                setup,
                AppendToStub(BuildArchive({TTestEntry::Dir("Program", {TTestEntry::File("a.txt", "a")})}),
                             1024));
            TInstaller installer("", setup);
            installer.ExtractComponent("Program", folder + "Program Files\\Velmora\\", 0);
            installer.WriteUninstaller(UninstallerPath(folder), ProductName, ProductName, ProductName.data(),
                                       static_cast<int32_t>(ProductName.size()));
            std::printf("%s\n", ProductName.c_str());
        } else if (command == "unregister") {
            TUninstaller uninstaller(UninstallerPath(folder));
            if (!uninstaller.Uninstall()) {
                std::fprintf(stderr, "not everything could be removed\n");
                return 1;
            }
        } else {
            std::fprintf(stderr, "unknown command %s\n", command.c_str());
            return 2;
        }
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.Message().c_str());
        return 1;
    }
    return 0;
}
