// libFuzzer target for BundleInfo.ini: the first four bytes of an input choose the archive's
// build date, the rest is the bundle's item list, which the controller of a bundle reads into
// items and then uses as the installation would. Refusals must be the program's own errors,
// and every item's file date must be a valid packed date and time, or 0.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tests/fuzz/ControllerFuzzSupport.h"

namespace {

const char* const BundleIni = "[Setup]\r\n"
                              "ProductName=Velmora Plugins\r\n"
                              "RegistryRoot=Software\\SetupControllerTests\\Velmora\r\n"
                              "DefaultFolder=Velmora %d\r\n"
                              "IsBundle=1\r\n"
                              "BundleRegistryRoot=Software\\SetupControllerTests\\Velmora Plugins\r\n"
                              "BundleItemName=$BundleItem plug-in\r\n"
                              "[Components]\r\n"
                              "Plugins\\$BundleItem=$VstPluginFolder\\$BundleItem\r\n"
                              "Vst3\\$BundleItem=$Vst3PluginFolder\\$BundleItemProductName\r\n"
                              "Program=$ProgramFolder\r\n"
                              "[RegistrySettings]\r\n"
                              "$BundleItem\\Path=$ProgramFolder\\$BundleItem\r\n"
                              "$BundleItemProductName\\Uses=#1\r\n"
                              "[GlobalRegistrySettings]\r\n"
                              "Items\\$BundleItem=$BundleItemProductName\r\n";

bool ValidFileDate(uint32_t packed) {
    const uint32_t date = packed >> 16;
    const uint32_t time = packed & 0xFFFF;
    const uint32_t day = date & 0x1F;
    const uint32_t month = (date >> 5) & 0x0F;
    return day >= 1 && month >= 1 && month <= 12 && (time >> 11) < 24 && ((time >> 5) & 0x3F) < 60 &&
           (time & 0x1F) < 30;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t day = 0;
    if (size >= sizeof day) {
        std::memcpy(&day, data, sizeof day);
        data += sizeof day;
        size -= sizeof day;
    }
    TTestSetup setup;
    setup.Ini = BundleIni;
    setup.BundleInfo = std::string(reinterpret_cast<const char*>(data), size);
    // Days since 1899-12-30 from 1979 to 2116 in steps of about 15 minutes, so that the item
    // dates run over the ends of the packed date's years.
    setup.BuildDate = 29000.0 + (day % 5000000) / 100.0;
    setup.Entries = {
        TTestEntry::Dir("Plugins", {TTestEntry::Dir("Echo", {TTestEntry::File("Echo.dll", "echo")})}),
        TTestEntry::Dir("Vst3", {TTestEntry::Dir("Echo", {TTestEntry::File("Echo.dll", "echo")})}),
        TTestEntry::Dir("Program", {TTestEntry::File("Velmora.exe", "program")})};
    const std::string path = WriteFuzzSetup(setup);
    TFuzzSystem system;
    std::unique_ptr<TSetupInstaller> controller = LoadController(path, system);
    if (!controller)
        return 0;
    for (const auto& item : controller->BundleItems) {
        if (item->FileDate != 0 && !ValidFileDate(item->FileDate))
            __builtin_trap();
    }
    ExerciseController(*controller);
    return 0;
}
