#include "tests/fuzz/ControllerFuzzSupport.h"

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/IniFile.h"

namespace {

// Calls step; the program's own errors are answers, not findings.
void Tolerate(const std::function<void()>& step) {
    try {
        step();
    } catch (const Exception&) {
    }
}

} // namespace

TFuzzSystem::TFuzzSystem() {
    const std::string key = std::string(TestRegistryRoot) + "\\5.0";
    WriteString(rrLocalMachine, key, "VersionString", "5.03");
    WriteString(rrLocalMachine, key, "Location", "C:\\Program Files\\Velmora 5\\");
    WriteString(rrCurrentUser, key, "", "C:\\Velmora Documents\\");
    WriteString(rrLocalMachine, TestVstKey, "VstPluginsPath", "C:\\Vst");
    CreateKey(rrLocalMachine, std::string(TestPhotoshopKey) + "\\10.0");
}

std::string WriteFuzzSetup(const TTestSetup& setup) {
    static const TTestFolder folder;
    return WriteSetup(folder, setup);
}

std::unique_ptr<TSetupInstaller> LoadController(const std::string& path, TFuzzSystem& system) {
    try {
        return CreateInstaller(path, system);
    } catch (const Exception&) {
        return nullptr;
    }
}

void ExerciseController(TSetupInstaller& controller) {
    Tolerate([&] { controller.ProductFile(); });
    Tolerate([&] { controller.ReadmeFile(); });
    for (size_t index = 0; index < controller.Folders.size(); ++index)
        Tolerate([&] { controller.FolderPath(static_cast<int>(index)); });
    for (const std::string& line : controller.Components) {
        Tolerate([&] { controller.ExpandFolderSymbols(LineValue(line), nullptr); });
        controller.IsNoOverwrite(LineName(line));
    }
    for (const std::string& line : controller.Shortcuts)
        Tolerate([&] { controller.ReadShortcutValue(LineValue(line)); });
    Tolerate([&] { controller.RequiredSpace = controller.GetRequiredSpace(); });
    Tolerate([&] { controller.CheckDiskSpace(); });
    Tolerate([&] { controller.RunCallLibraries(); });
    Tolerate([&] { controller.WriteProductLocation(); });
    Tolerate([&] { controller.WriteFolderLocations(); });
    Tolerate([&] { controller.WriteOwnerName(); });
    Tolerate([&] { controller.WriteRegistrySettings(); });
}
