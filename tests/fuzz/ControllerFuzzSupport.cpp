#include "tests/fuzz/ControllerFuzzSupport.h"

#include <map>

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/IniFile.h"
#include "tests/support/Bytes.h"

namespace {

// Calls step; the program's own errors are answers, not findings.
void Tolerate(const std::function<void()>& step) {
    try {
        step();
    } catch (const Exception&) {
    }
}

// data as a zlib stream of stored (uncompressed) blocks, built without the compressor.
std::string StoredZlib(const std::string& data) {
    std::string out("\x78\x01", 2);
    size_t at = 0;
    do {
        const size_t length = std::min<size_t>(data.size() - at, 0xFFFF);
        out += static_cast<char>(at + length == data.size() ? 1 : 0); // the last block
        for (const size_t half : {length, ~length & 0xFFFF}) {
            out += static_cast<char>(half & 0xFF);
            out += static_cast<char>((half >> 8) & 0xFF);
        }
        out.append(data, at, length);
        at += length;
    } while (at < data.size());
    const uint32_t adler = Adler32(1, data.data(), data.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((adler >> shift) & 0xFF);
    return out;
}

// The stored bytes of every file below entries; the compressions of fixed members are kept.
void SetContents(std::vector<TTestEntry>& entries, bool topLevel) {
    static std::map<std::string, std::string> compressed;
    for (TTestEntry& entry : entries) {
        if (entry.Folder) {
            SetContents(entry.Children, false);
        } else if (!entry.Content) {
            if (topLevel && (entry.Name == "Setup.ini" || entry.Name == "BundleInfo.ini")) {
                entry.Content = StoredZlib(entry.Data);
            } else {
                auto found = compressed.find(entry.Data);
                if (found == compressed.end())
                    found = compressed.emplace(entry.Data, Compress(entry.Data)).first;
                entry.Content = found->second;
            }
        }
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
    std::vector<TTestEntry> entries = SetupEntries(setup);
    SetContents(entries, true);
    const std::string path = folder.PathOf("Setup.dat");
    WriteBytes(path, BuildArchive(entries, setup.ProductVersion, setup.BuildDate));
    return path;
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

TFixedController::TFixedController(const TTestSetup& setup)
    : System(std::make_unique<TFuzzSystem>()), Environment(std::make_unique<TForwardingEnvironment>()) {
    Environment->Target = &System->Environment();
    Controller = std::make_unique<TSetupInstaller>(WriteFuzzSetup(setup), *Environment);
}

TFixedController::~TFixedController() = default;

TSetupInstaller& TFixedController::Next() {
    System = std::make_unique<TFuzzSystem>();
    Environment->Target = &System->Environment();
    return *Controller;
}
