#include "tests/setup/SetupTestSupport.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>

#include "common/CommonUtils.h"
#include "common/FileSystem.h"

#ifdef _WIN32
#include <windows.h>

#include "common/Registry.h"
#include "tests/support/TestRegistry.h"
#endif

const char* const TestRegistryRoot = "Software\\SetupControllerTests\\Velmora";
const char* const TestBundleRoot = "Software\\SetupControllerTests\\Velmora Plugins";
const char* const TestVstKey = "Software\\Vst";
const char* const TestPhotoshopKey = "SOFTWARE\\Adobe\\Photoshop";

const char* const MinimalSetupSection = "[Setup]\r\n"
                                        "ProductName=Velmora\r\n"
                                        "RegistryRoot=Software\\SetupControllerTests\\Velmora\r\n"
                                        "DefaultFolder=Velmora %d\r\n";

namespace {

std::string WithoutOuterDelimiters(const std::string& path) {
    size_t first = path.find_first_not_of('\\');
    if (first == std::string::npos)
        return std::string();
    size_t last = path.find_last_not_of('\\');
    return path.substr(first, last - first + 1);
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = AsciiLower(c);
    return text;
}

} // namespace

// An in-memory registry: keys in creation order (which is the order their subkeys are listed
// in), each with string and integer values.
class TTestSystem::TFakeEnvironment final : public ISetupEnvironment {
public:
    struct TValue {
        bool IsString;
        std::string Text;
    };
    struct TKey {
        TRegistryRoot Root;
        std::string Path;
        std::map<std::string, TValue> Values; // by lower-case name
    };
    std::vector<TKey> Keys;

    TKey* Find(TRegistryRoot root, const std::string& path) {
        const std::string wanted = WithoutOuterDelimiters(path);
        for (TKey& key : Keys) {
            if (key.Root == root && SameText(key.Path, wanted))
                return &key;
        }
        return nullptr;
    }
    TKey& Create(TRegistryRoot root, const std::string& path) {
        const std::string wanted = WithoutOuterDelimiters(path);
        if (TKey* key = Find(root, wanted))
            return *key;
        const size_t cut = wanted.rfind('\\');
        if (cut != std::string::npos)
            Create(root, wanted.substr(0, cut));
        Keys.push_back({root, wanted, {}});
        return Keys.back();
    }

    std::optional<std::vector<std::string>> SubkeyNames(TRegistryRoot root, const std::string& path) override {
        const std::string parent = WithoutOuterDelimiters(path);
        if (Find(root, parent) == nullptr)
            return std::nullopt;
        std::vector<std::string> names;
        for (const TKey& key : Keys) {
            const size_t cut = key.Path.rfind('\\');
            if (key.Root == root && cut != std::string::npos && SameText(key.Path.substr(0, cut), parent))
                names.push_back(key.Path.substr(cut + 1));
        }
        return names;
    }
    std::optional<std::string> ReadString(TRegistryRoot root, const std::string& path,
                                          const std::string& name) override {
        TKey* key = Find(root, path);
        if (key == nullptr)
            return std::nullopt;
        auto value = key->Values.find(Lower(name));
        if (value == key->Values.end() || !value->second.IsString)
            return std::nullopt;
        return value->second.Text;
    }

    std::string ProgramFilesFolder() override { return "C:\\Program Files"; }
    std::string CommonFilesFolder() override { return "C:\\Program Files\\Common Files"; }
    std::string CommonProgramFilesFolder() override { return "C:\\Program Files\\Common Files"; }
    std::string NativeProgramFilesFolder() override { return std::string(); }
    std::string ApplicationDataFolder() override { return "C:\\Users\\Tester\\Application Data"; }
    std::string DocumentsFolder() override { return "C:\\Users\\Tester\\Documents"; }
    std::string UserName() override { return "Tester"; }
    // Installed folders are real folders here too; the controller joins names with backslashes.
    bool FileExists(const std::string& path) override {
        std::string native = path;
        for (char& c : native) {
            if (c == '\\')
                c = '/';
        }
        return ::FileExists(native);
    }

    bool WriteString(TRegistryRoot root, const std::string& path, const std::string& name,
                     const std::string& value) override {
        if (!WindowsWouldCreate(path))
            return false;
        Create(root, path).Values[Lower(name)] = {true, value};
        return true;
    }
    bool WriteInteger(TRegistryRoot root, const std::string& path, const std::string& name,
                      int32_t value) override {
        if (!WindowsWouldCreate(path))
            return false;
        Create(root, path).Values[Lower(name)] = {false, std::to_string(static_cast<uint32_t>(value))};
        return true;
    }
    // Windows refuses a key whose name is longer than 255 characters or that lies deeper than
    // 512 levels. So does this system, which would otherwise hold every parent of a path of
    // thousands of levels, each with its whole path.
    static bool WindowsWouldCreate(const std::string& path) {
        size_t levels = 1;
        size_t nameLength = 0;
        for (const char c : WithoutOuterDelimiters(path)) {
            if (c == '\\') {
                ++levels;
                nameLength = 0;
            } else if (++nameLength > 255) {
                return false;
            }
        }
        return levels <= 512;
    }
    // Room enough for any test's components; libraries are never there.
    uint64_t FreeDiskSpace(const std::string&) override { return uint64_t(1) << 40; }
    bool CallLibraryExport(const std::string&, const std::string&) override { return false; }
    std::string StartMenuFolder() override { return "C:\\Users\\Tester\\Start Menu\\Programs"; }
    std::string DesktopFolder() override { return "C:\\Users\\Tester\\Desktop"; }
    // The folder itself is real; there are no access lists to give it.
    bool CreateProtectedFolder(const std::string& path) override { return CreateDir(path); }
};

#ifdef _WIN32

namespace {

HKEY RootKey(TRegistryRoot root) { return root == rrCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

// root\key opened for writing values, created when missing; throws when the registry refuses.
UniqueHKey KeyForWriting(TRegistryRoot root, const std::string& key) {
    UniqueHKey handle = ::CreateKey(RootKey(root), key, KEY_SET_VALUE);
    if (!handle)
        throw std::runtime_error("cannot create registry key " + key);
    return handle;
}

} // namespace

TTestSystem::TTestSystem() { RemoveTestKeys(); }

TTestSystem::~TTestSystem() { RemoveTestKeys(); }

void TTestSystem::RemoveTestKeys() {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        DeleteKeyTree(root, "Software\\SetupControllerTests");
    DeleteKeyTree(HKEY_LOCAL_MACHINE, TestVstKey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, TestPhotoshopKey);
}

ISetupEnvironment& TTestSystem::Environment() { return SystemEnvironment(); }

void TTestSystem::CreateKey(TRegistryRoot root, const std::string& key) { KeyForWriting(root, key); }

void TTestSystem::WriteString(TRegistryRoot root, const std::string& key, const std::string& name,
                              const std::string& value) {
    WriteRegistryString(RootKey(root), key, name.c_str(), value);
}

void TTestSystem::WriteInteger(TRegistryRoot root, const std::string& key, const std::string& name, uint32_t value) {
    const DWORD number = value;
    WriteRegistryValue(RootKey(root), key, name.c_str(), REG_DWORD, &number, sizeof number);
}

std::optional<uint32_t> TTestSystem::ReadInteger(TRegistryRoot root, const std::string& key, const std::string& name) {
    const std::optional<DWORD> value = ReadRegistryDword(RootKey(root), key, name.c_str());
    return value ? std::optional<uint32_t>(*value) : std::nullopt;
}

std::unique_ptr<TSetupInstaller> CreateInstaller(const std::string& path, TTestSystem&) {
    return std::make_unique<TSetupInstaller>(path);
}

#else

TTestSystem::TTestSystem() : Fake(std::make_unique<TFakeEnvironment>()) {}

TTestSystem::~TTestSystem() = default;

void TTestSystem::RemoveTestKeys() { Fake->Keys.clear(); }

ISetupEnvironment& TTestSystem::Environment() { return *Fake; }

void TTestSystem::CreateKey(TRegistryRoot root, const std::string& key) { Fake->Create(root, key); }

void TTestSystem::WriteString(TRegistryRoot root, const std::string& key, const std::string& name,
                              const std::string& value) {
    Fake->WriteString(root, key, name, value);
}

void TTestSystem::WriteInteger(TRegistryRoot root, const std::string& key, const std::string& name, uint32_t value) {
    Fake->WriteInteger(root, key, name, static_cast<int32_t>(value));
}

std::optional<uint32_t> TTestSystem::ReadInteger(TRegistryRoot root, const std::string& key, const std::string& name) {
    TFakeEnvironment::TKey* found = Fake->Find(root, key);
    if (found == nullptr)
        return std::nullopt;
    auto value = found->Values.find(Lower(name));
    if (value == found->Values.end() || value->second.IsString)
        return std::nullopt;
    return static_cast<uint32_t>(std::stoul(value->second.Text));
}

std::unique_ptr<TSetupInstaller> CreateInstaller(const std::string& path, TTestSystem& system) {
    return std::make_unique<TSetupInstaller>(path, system.Environment());
}

#endif

TProgramVersion Version(const std::string& text) {
    TProgramVersion version;
    version.FromText(text);
    return version;
}

std::vector<TTestEntry> SetupEntries(const TTestSetup& setup) {
    std::vector<TTestEntry> entries = setup.Entries;
    if (setup.IniInArchive)
        entries.push_back(TTestEntry::File("Setup.ini", setup.Ini));
    if (setup.License)
        entries.push_back(TTestEntry::File("Setup.lic", *setup.License));
    if (setup.BundleInfo)
        entries.push_back(TTestEntry::File("BundleInfo.ini", *setup.BundleInfo));
    return entries;
}

std::string WriteSetup(const TTestFolder& folder, const TTestSetup& setup) {
    // A controller keeps others from writing its setup data while it lives, and a test may
    // still hold the one of its last setup: each setup of a folder gets a file of its own.
    std::string path = folder.PathOf("Setup.dat");
    for (int number = 2; std::filesystem::exists(path); ++number)
        path = folder.PathOf("Setup" + std::to_string(number) + ".dat");
    WriteBytes(path, BuildArchive(SetupEntries(setup), setup.ProductVersion, setup.BuildDate));
    return path;
}

void MakeFile(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << "file";
}
