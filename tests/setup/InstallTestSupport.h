// Fixtures for the installation run's tests: the system of TTestSystem seen through a wrapper
// that can stand in for the free-space query and the shortcut folders and that notes the
// library calls, and a progress object that records what the run reports. Header only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "setup/SetupInstaller.h"
#include "setup/SetupProgress.h"

// The error of the free-space check.
inline const char* const NotEnoughSpace =
    "There is not enough space on the destination drive.\rPlease free up some space and then try again";

class TInstallEnvironment final : public ISetupEnvironment {
public:
    explicit TInstallEnvironment(ISetupEnvironment& system) : System(system) {}

    // When set, the free space of every volume; otherwise the system's answer.
    std::optional<uint64_t> FreeSpace;
    // The volume roots asked about, in order.
    std::vector<std::string> FreeSpaceQueries;
    // The library calls asked for ("export=path"), in order, and which of them succeeded.
    std::vector<std::string> LibraryCalls;
    std::vector<bool> LibraryCallResults;
    // When not empty, the shortcut folders; otherwise the system's.
    std::string StartMenu;
    std::string Desktop;

    std::optional<std::vector<std::string>> SubkeyNames(TRegistryRoot root, const std::string& key) override {
        return System.SubkeyNames(root, key);
    }
    std::optional<std::string> ReadString(TRegistryRoot root, const std::string& key,
                                          const std::string& name) override {
        return System.ReadString(root, key, name);
    }
    std::string ProgramFilesFolder() override { return System.ProgramFilesFolder(); }
    std::string CommonFilesFolder() override { return System.CommonFilesFolder(); }
    std::string CommonProgramFilesFolder() override { return System.CommonProgramFilesFolder(); }
    std::string ApplicationDataFolder() override { return System.ApplicationDataFolder(); }
    std::string DocumentsFolder() override { return System.DocumentsFolder(); }
    std::string UserName() override { return System.UserName(); }
    bool FileExists(const std::string& path) override { return System.FileExists(path); }
    bool WriteString(TRegistryRoot root, const std::string& key, const std::string& name,
                     const std::string& value) override {
        return System.WriteString(root, key, name, value);
    }
    bool WriteInteger(TRegistryRoot root, const std::string& key, const std::string& name,
                      int32_t value) override {
        return System.WriteInteger(root, key, name, value);
    }
    uint64_t FreeDiskSpace(const std::string& root) override {
        FreeSpaceQueries.push_back(root);
        return FreeSpace ? *FreeSpace : System.FreeDiskSpace(root);
    }
    bool CallLibraryExport(const std::string& path, const std::string& exportName) override {
        LibraryCalls.push_back(exportName + "=" + path);
        LibraryCallResults.push_back(System.CallLibraryExport(path, exportName));
        return LibraryCallResults.back();
    }
    std::string StartMenuFolder() override {
        return StartMenu.empty() ? System.StartMenuFolder() : StartMenu;
    }
    std::string DesktopFolder() override { return Desktop.empty() ? System.DesktopFolder() : Desktop; }

private:
    ISetupEnvironment& System;
};

// What the run reported, in order: positions as their decimal text, status texts as they are.
class TRecordingProgress final : public ISetupProgress {
public:
    std::vector<std::string> Events;
    // Called at each report, for tests that look at the disk while the run goes on.
    std::function<void(const std::string& event)> OnEvent;

    void SetProgress(int32_t position) override { Note(std::to_string(position)); }
    void SetStatus(const std::string& text) override { Note(text); }

private:
    void Note(const std::string& event) {
        Events.push_back(event);
        if (OnEvent)
            OnEvent(event);
    }
};
