// libFuzzer target for the lines of [Shortcuts], [RegistrySettings] and
// [GlobalRegistrySettings]: every line of an input is read as a shortcut value, and all lines
// are written as registry settings of the product and of a bundle item (into the in-memory
// registry). A shortcut's icon index is never positive; anything but the program's own errors
// is a finding.

#include <cstddef>
#include <cstdint>

#include "common/Errors.h"
#include "common/IniFile.h"
#include "tests/fuzz/ControllerFuzzSupport.h"

namespace {

const char* const Ini = "[Setup]\r\n"
                        "ProductName=Velmora\r\n"
                        "RegistryRoot=Software\\SetupControllerTests\\Velmora\r\n"
                        "DefaultFolder=Velmora %d\r\n"
                        "IsBundle=1\r\n"
                        "BundleRegistryRoot=Software\\SetupControllerTests\\Velmora Plugins\r\n"
                        "[Folders]\r\n"
                        "Samples=$Documents\\Velmora Samples\r\n"
                        "[FoldersRegistry]\r\n"
                        "Samples=Paths\\Samples\r\n";

TFixedController& Fixed() {
    static TFixedController fixed([] {
        TTestSetup setup;
        setup.Ini = Ini;
        setup.BundleInfo = "Echo=1.20,Velmora Echo\r\n";
        return setup;
    }());
    return fixed;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TSetupInstaller& controller = Fixed().Next();
    if (controller.BundleItems.empty())
        __builtin_trap(); // the fixed setup has one

    const std::vector<std::string> lines = SplitLines(std::string(reinterpret_cast<const char*>(data), size));
    for (const std::string& line : lines) {
        if (controller.ReadShortcutValue(line).IconIndex > 0)
            __builtin_trap();
    }
    try {
        controller.WriteSettingsList(lines, rrCurrentUser, nullptr);
        controller.WriteSettingsList(lines, rrLocalMachine, controller.BundleItems[0].get());
    } catch (const Exception&) {
    }
    return 0;
}
