// Fixtures for the setup controller's tests: setup data built in a scratch folder, and the
// system the controller sees. Under Windows that is the real registry (keys of the tests' own,
// removed before and after each case) and the real shell folders; natively it is an in-memory
// registry with fixed folders, so that the same cases run on both.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "setup/SetupInstaller.h"
#include "tests/setupdata/ArchiveBuilder.h"
#include "tests/support/TestFolder.h"

// Registry keys the tests write to; TTestSystem removes them.
extern const char* const TestRegistryRoot; // the product's RegistryRoot, without leading backslash
extern const char* const TestBundleRoot;   // BundleRegistryRoot
extern const char* const TestVstKey;
extern const char* const TestPhotoshopKey;

class TTestSystem {
public:
    TTestSystem();
    ~TTestSystem();
    TTestSystem(const TTestSystem&) = delete;
    TTestSystem& operator=(const TTestSystem&) = delete;

    ISetupEnvironment& Environment();
    void CreateKey(TRegistryRoot root, const std::string& key);
    void WriteString(TRegistryRoot root, const std::string& key, const std::string& name, const std::string& value);
    // A 32-bit integer value: the wrong type wherever a string is expected.
    void WriteInteger(TRegistryRoot root, const std::string& key, const std::string& name, uint32_t value);
    // A 32-bit integer value; none when the key or value is missing or the value is another type.
    std::optional<uint32_t> ReadInteger(TRegistryRoot root, const std::string& key, const std::string& name);

private:
    class TFakeEnvironment;
    std::unique_ptr<TFakeEnvironment> Fake;
    void RemoveTestKeys();
};

TProgramVersion Version(const std::string& text);

// What goes into one test's setup data.
struct TTestSetup {
    std::string Ini;
    bool IniInArchive = true;
    std::optional<std::string> License = std::string("License line 1\r\nLicense line 2");
    std::optional<std::string> BundleInfo;
    std::vector<TTestEntry> Entries; // components and further files
    TProgramVersion ProductVersion = Version("5.12");
    double BuildDate = 45413.0; // 2024-05-01 00:00
};

// A [Setup] section that passes validation, for tests that are about something else.
extern const char* const MinimalSetupSection;

// The archive's top-level entries for setup: its Entries, then Setup.ini, Setup.lic and
// BundleInfo.ini where it has them.
std::vector<TTestEntry> SetupEntries(const TTestSetup& setup);
// Writes the setup data as a bare archive into folder and returns its path.
std::string WriteSetup(const TTestFolder& folder, const TTestSetup& setup);

// The controller over the setup data at path, on the system of the test (the running system's
// constructor under Windows).
std::unique_ptr<TSetupInstaller> CreateInstaller(const std::string& path, TTestSystem& system);

// A file with a few bytes (and any missing folders above it).
void MakeFile(const std::string& path);
