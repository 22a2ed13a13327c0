// The system the check loads a product on: every plug-in host installed, the product not, so
// that a folder symbol that is empty here is empty on every machine. Nothing is written.
#pragma once

#include "setup/SetupEnvironment.h"

class TCheckEnvironment final : public ISetupEnvironment {
public:
    std::optional<std::vector<std::string>> SubkeyNames(TRegistryRoot root, const std::string& key) override;
    std::optional<std::string> ReadString(TRegistryRoot root, const std::string& key,
                                          const std::string& name) override;
    std::string ProgramFilesFolder() override { return "C:\\Program Files"; }
    std::string CommonFilesFolder() override { return "C:\\Program Files\\Common Files"; }
    std::string CommonProgramFilesFolder() override { return "C:\\Program Files\\Common Files"; }
    std::string NativeProgramFilesFolder() override { return std::string(); }
    std::string ApplicationDataFolder() override { return "C:\\Users\\User\\AppData\\Roaming"; }
    std::string DocumentsFolder() override { return "C:\\Users\\User\\Documents"; }
    std::string UserName() override { return "User"; }
    bool FileExists(const std::string&) override { return false; }
    bool WriteString(TRegistryRoot, const std::string&, const std::string&, const std::string&) override {
        return false;
    }
    bool WriteInteger(TRegistryRoot, const std::string&, const std::string&, int32_t) override {
        return false;
    }
    uint64_t FreeDiskSpace(const std::string&) override { return 0; }
    bool CallLibraryExport(const std::string&, const std::string&) override { return false; }
    std::string StartMenuFolder() override { return "C:\\Users\\User\\Start Menu\\Programs"; }
    std::string DesktopFolder() override { return "C:\\Users\\User\\Desktop"; }
    bool CreateProtectedFolder(const std::string&) override { return false; }
};
