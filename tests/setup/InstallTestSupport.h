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
#include "tests/support/ForwardingEnvironment.h"

// The error of the free-space check.
inline const char* const NotEnoughSpace =
    "There is not enough space on the destination drive.\rPlease free up some space and then try again";

class TInstallEnvironment final : public TForwardingEnvironment {
public:
    explicit TInstallEnvironment(ISetupEnvironment& system) : TForwardingEnvironment(&system) {}

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

    uint64_t FreeDiskSpace(const std::string& root) override {
        FreeSpaceQueries.push_back(root);
        return FreeSpace ? *FreeSpace : Target->FreeDiskSpace(root);
    }
    bool CallLibraryExport(const std::string& path, const std::string& exportName) override {
        LibraryCalls.push_back(exportName + "=" + path);
        LibraryCallResults.push_back(Target->CallLibraryExport(path, exportName));
        return LibraryCallResults.back();
    }
    std::string StartMenuFolder() override {
        return StartMenu.empty() ? Target->StartMenuFolder() : StartMenu;
    }
    std::string DesktopFolder() override { return Desktop.empty() ? Target->DesktopFolder() : Desktop; }
    // When set, the Program Files folders; otherwise the system's.
    std::optional<std::string> ProgramFiles;
    std::optional<std::string> NativeProgramFiles;
    // The folders created with an access list of their own, in order.
    std::vector<std::string> ProtectedFolders;

    std::string ProgramFilesFolder() override {
        return ProgramFiles ? *ProgramFiles : Target->ProgramFilesFolder();
    }
    std::string NativeProgramFilesFolder() override {
        return NativeProgramFiles ? *NativeProgramFiles : Target->NativeProgramFilesFolder();
    }
    bool CreateProtectedFolder(const std::string& path) override {
        ProtectedFolders.push_back(path);
        return Target->CreateProtectedFolder(path);
    }
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
