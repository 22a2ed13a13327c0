// libFuzzer target for the configuration: every input is the Setup.ini of a setup, which the
// controller loads through the INI reader and then uses as the installation would (symbols,
// custom folders, registry settings, shortcuts). The controller may refuse an input only with
// one of the program's own errors; any other exception, a crash, a hang or a leak is a finding.

#include <cstddef>
#include <cstdint>

#include "tests/fuzz/ControllerFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TTestSetup setup;
    setup.Ini.assign(reinterpret_cast<const char*>(data), size);
    setup.Entries = {TTestEntry::Dir("Program", {TTestEntry::File("Velmora.exe", "program")}),
                     TTestEntry::Dir("Vst3", {TTestEntry::File("Velmora.dll", "plug-in")})};
    const std::string path = WriteFuzzSetup(setup);
    TFuzzSystem system;
    if (std::unique_ptr<TSetupInstaller> controller = LoadController(path, system))
        ExerciseController(*controller);
    return 0;
}
