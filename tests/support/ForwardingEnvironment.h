// A setup environment that passes every question on to another one (Target). Tests derive
// from it and override only what they watch or stand in for. Header only: its users link the
// setup controller.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "setup/SetupEnvironment.h"

class TForwardingEnvironment : public ISetupEnvironment {
public:
    explicit TForwardingEnvironment(ISetupEnvironment* target = nullptr) : Target(target) {}
    virtual ~TForwardingEnvironment() = default;

    ISetupEnvironment* Target;

    std::optional<std::vector<std::string>> SubkeyNames(TRegistryRoot root, const std::string& key) override {
        return Target->SubkeyNames(root, key);
    }
    std::optional<std::string> ReadString(TRegistryRoot root, const std::string& key,
                                          const std::string& name) override {
        return Target->ReadString(root, key, name);
    }
    std::string ProgramFilesFolder() override { return Target->ProgramFilesFolder(); }
    std::string CommonFilesFolder() override { return Target->CommonFilesFolder(); }
    std::string CommonProgramFilesFolder() override { return Target->CommonProgramFilesFolder(); }
    std::string NativeProgramFilesFolder() override { return Target->NativeProgramFilesFolder(); }
    std::string ApplicationDataFolder() override { return Target->ApplicationDataFolder(); }
    std::string DocumentsFolder() override { return Target->DocumentsFolder(); }
    std::string UserName() override { return Target->UserName(); }
    bool FileExists(const std::string& path) override { return Target->FileExists(path); }
    bool WriteString(TRegistryRoot root, const std::string& key, const std::string& name,
                     const std::string& value) override {
        return Target->WriteString(root, key, name, value);
    }
    bool WriteInteger(TRegistryRoot root, const std::string& key, const std::string& name,
                      int32_t value) override {
        return Target->WriteInteger(root, key, name, value);
    }
    uint64_t FreeDiskSpace(const std::string& root) override { return Target->FreeDiskSpace(root); }
    bool CallLibraryExport(const std::string& path, const std::string& exportName) override {
        return Target->CallLibraryExport(path, exportName);
    }
    std::string StartMenuFolder() override { return Target->StartMenuFolder(); }
    std::string DesktopFolder() override { return Target->DesktopFolder(); }
    bool CreateProtectedFolder(const std::string& path) override {
        return Target->CreateProtectedFolder(path);
    }
};
