// The whole installation run of a setup program, timed, as the wizard runs it after Install is
// pressed: TSetupInstaller::Install on the running system (the benchmark's Wine prefix), into
// an empty program folder, with the Start menu and desktop shortcuts chosen. Modes:
//   run     Install with a progress sink that notes the time of each report and returns at
//           once; prints the total and the time between the reports
//   paused  the same with the wizard's hold of each status text: a text stays 500 ms, so the
//           next one (and the end of the run) waits until it has had that time
//   steps   the run's steps called one by one in Install's order, each timed: component sizes,
//           free-space check, extraction, registry, shortcuts, uninstaller copy
// Usage: install_bench MODE SETUP_EXE PROGRAM_FOLDER
// Opening the setup program (the archive's checksum, the configuration) is not timed.

#include <windows.h>
// After windows.h, whose types it uses.
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "common/Errors.h"
#include "common/WinHandle.h"
#include "setup/SetupInstaller.h"

namespace {

using TClock = std::chrono::steady_clock;

double Since(TClock::time_point start) {
    return std::chrono::duration<double>(TClock::now() - start).count();
}

// The wizard's copying page keeps each status text on screen this long.
constexpr long long StatusPause = 500;

class TTimedProgress final : public ISetupProgress {
public:
    TTimedProgress(bool pause, TClock::time_point start) : Pause(pause), Start(start) {}

    std::vector<std::pair<std::string, double>> Events;
    int CopyReports = 0;

    void SetProgress(int32_t position) override { Note(std::to_string(position) + "%"); }
    void SetCopyProgress(int32_t) override { ++CopyReports; }
    void SetStatus(const std::string& text) override {
        Hold();
        // The message table is Setup.exe's resource, which this program lacks: counted instead.
        Note("status" + std::to_string(++Statuses));
        ShownAt = TClock::now();
    }
    // As the wizard does before the next text and at the end of the run.
    void Hold() {
        const auto shown = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - ShownAt);
        if (Pause && Statuses > 0 && shown.count() < StatusPause)
            ::Sleep(static_cast<DWORD>(StatusPause - shown.count()));
    }

private:
    bool Pause;
    TClock::time_point Start;
    TClock::time_point ShownAt;
    int Statuses = 0;

    void Note(const std::string& event) { Events.emplace_back(event, Since(Start)); }
};

double PeakMegabytes() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

void RunInstall(TSetupInstaller& setup, bool pause) {
    const auto start = TClock::now();
    TTimedProgress progress(pause, start);
    setup.Install(progress);
    progress.Hold();
    const double total = Since(start);
    std::printf("%-6s total %6.3f s:", pause ? "paused" : "run", total);
    double previous = 0;
    std::string name = "start";
    for (const auto& [event, at] : progress.Events) {
        std::printf(" %s %.3f,", name.c_str(), at - previous);
        previous = at;
        name = event;
    }
    std::printf(" %s %.3f; %d copy reports, peak working set %.1f MB\n", name.c_str(), total - previous,
                progress.CopyReports, PeakMegabytes());
}

// Install's steps in its order (without libraries to call), each timed.
void RunSteps(TSetupInstaller& setup) {
    TTimedProgress progress(false, TClock::now());
    std::vector<std::pair<const char*, double>> times;
    auto step = [&](const char* name, auto&& action) {
        const auto start = TClock::now();
        action();
        times.emplace_back(name, Since(start));
    };
    step("sizes", [&] { setup.RequiredSpace = setup.GetRequiredSpace(); });
    step("free-space", [&] { setup.CheckDiskSpace(); });
    step("extraction", [&] { setup.InstallComponents(progress, 25, 75); });
    step("registry", [&] {
        setup.Installer->LogRegistryKey(lrCurrentUser, setup.RegistryKeyFor(setup.VersionKey));
        setup.Installer->LogRegistryKey(lrLocalMachine, setup.RegistryKeyFor(setup.VersionKey));
        setup.WriteProductLocation();
        setup.WriteFolderLocations();
        setup.WriteOwnerName();
        setup.WriteRegistrySettings();
    });
    step("shortcuts", [&] { setup.CreateShortcuts(); });
    step("uninstaller", [&] { setup.RegisterUninstaller(); });
    double total = 0;
    std::printf("steps ");
    for (const auto& [name, seconds] : times) {
        std::printf(" %s %.3f", name, seconds);
        total += seconds;
    }
    std::printf(" total %.3f\n", total);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: install_bench run|paused|steps SETUP_EXE PROGRAM_FOLDER\n");
        return 2;
    }
    const std::string mode = argv[1];
    try {
        TComInitializer com;
        TSetupInstaller setup(argv[2]);
        setup.SetProgramFolder(argv[3]);
        setup.SelectedShortcuts = {scStartMenu, scDesktop};
        setup.OwnerName = "Bench";
        if (mode == "run" || mode == "paused")
            RunInstall(setup, mode == "paused");
        else if (mode == "steps")
            RunSteps(setup);
        else
            return 2;
    } catch (const Exception& e) {
        std::fprintf(stderr, "install_bench: %s\n", e.Message().c_str());
        return 1;
    }
    return 0;
}
