// Whole installation runs under Wine, without the wizard: each case packs a product into a
// copy of Setup.exe, creates the controller over it, makes the choices the wizard would make
// and runs Install with a progress object that records what it is told. Then it looks at the
// files, the registry, the shortcuts and the uninstaller. Registry keys, the uninstall
// registration and the shortcut folders are the tests' own and removed afterwards.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "common/CommonUtils.h"
#include "common/FileSystem.h"
#include "common/Path.h"
#include "common/WinHandle.h"
#include "setup/SetupInstaller.h"
#include "setupdata/ArchiveFormat.h"
#include "setupdata/Uninstaller.h"
#include "shell/ShellUtils.h"
#include "tests/setup/InstallTestSupport.h"
#include "tests/setup/SetupTestSupport.h"
#include "tests/support/TestRegistry.h"
#include "tests/support/TestValues.h"
#include "tests/support/TestWindows.h"

namespace {

const char* const UninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string VersionKey = std::string(TestRegistryRoot) + "\\5.0";

// A file of the build tree, seen through Wine's drive Z:.
std::string BuildFile(const char* unixPath) {
    std::string path = std::string("Z:") + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The .lnk files of a folder, sorted.
std::vector<std::string> LinkFiles(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    UniqueFind search(::FindFirstFileA((folder + "\\*.lnk").c_str(), &entry));
    if (search) {
        do
            names.push_back(entry.cFileName);
        while (::FindNextFileA(search.Get(), &entry));
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Everything a shortcut file says that the run sets: target and arguments as the product's own
// reader sees them, the icon through the shell link object.
TLinkContents ReadLink(const std::string& path) {
    TLinkContents link = LoadLink(path);
    EXPECT_TRUE(ReadShellLink(path, link.Path, link.Arguments)) << path;
    return link;
}

class InstallRunTest : public ::testing::Test {
protected:
    TComInitializer Com;
    std::unique_ptr<TTestFolder> Folder;
    std::unique_ptr<TTestSystem> System;
    std::unique_ptr<TInstallEnvironment> Environment;
    TRecordingProgress Progress;
    std::unique_ptr<TSetupInstaller> Setup;
    // Inside the scratch folder; the product folder with its trailing backslash.
    std::string ProgramFolder;
    std::string StartMenu;
    std::string Desktop;

    void SetUp() override { Reset(); }
    void TearDown() override {
        Setup.reset();
        RemoveRegistrations();
    }

    // A fresh folder, registry and progress record, for the next case of a table.
    void Reset() {
        Setup.reset();
        Environment.reset();
        System.reset();
        RemoveRegistrations();
        Folder = std::make_unique<TTestFolder>();
        System = std::make_unique<TTestSystem>();
        Environment = std::make_unique<TInstallEnvironment>(System->Environment());
        Progress = TRecordingProgress();
        ProgramFolder = Folder->PathOf("Program Files") + "\\Velmora 5\\";
        StartMenu = Folder->PathOf("Start Menu");
        Desktop = Folder->PathOf("Desktop");
        CreateDir(StartMenu);
        CreateDir(Desktop);
        Environment->StartMenu = StartMenu;
        Environment->Desktop = Desktop;
    }

    void RemoveRegistrations() const {
        VersionRegistration.Remove();
        ProductRegistration.Remove();
    }
    TRegistryKeyGuard VersionRegistration{HKEY_LOCAL_MACHINE, std::string(UninstallKey) + "Velmora 5.04"};
    TRegistryKeyGuard ProductRegistration{HKEY_LOCAL_MACHINE, std::string(UninstallKey) + "Velmora"};

    // Packs the product into a copy of Setup.exe (the archive appended, DataOffset pointing at
    // it) and creates the controller over it, with the choices the wizard would make.
    void Create(const std::string& iniTail, std::vector<TTestEntry> entries,
                std::optional<std::string> bundleInfo = {}) {
        entries.push_back(TTestEntry::File("Setup.ini", std::string(MinimalSetupSection) + iniTail));
        entries.push_back(TTestEntry::File("Setup.lic", "License"));
        if (bundleInfo)
            entries.push_back(TTestEntry::File("BundleInfo.ini", *bundleInfo));
        std::string program = ReadBytes(BuildFile(SETUP_EXE));
        ASSERT_GT(program.size(), 64u);
        PutInt32At(program, Archive::DataOffsetPosition, static_cast<int32_t>(program.size()));
        const std::string path = Folder->PathOf("Setup.exe");
        Setup.reset(); // a controller keeps its setup program from being written
        WriteBytes(path, program + BuildArchive(entries, Version("5.04")));

        Setup = std::make_unique<TSetupInstaller>(path, *Environment);
        Setup->SetProgramFolder(ProgramFolder);
        Setup->VstPluginFolder = Folder->PathOf("Vst");
        Setup->Vst3PluginFolder = Folder->PathOf("Common Files\\VST3");
        Setup->SelectedShortcuts = {scStartMenu, scDesktop};
        Setup->OwnerName = "Ann Example";
    }

    std::vector<std::string> Events(std::vector<std::string> between = {}, bool libraries = false) const {
        std::vector<std::string> events = {"0", "Preparing installation...", "25", "Copying files..."};
        events.insert(events.end(), between.begin(), between.end());
        if (libraries) {
            events.push_back("50");
            events.push_back("Initializing components...");
        }
        for (const char* event : {"75", "Creating settings...", "100"})
            events.push_back(event);
        return events;
    }
};

TEST_F(InstallRunTest, InstallsAProductStepByStep) {
    Create("PersonalizeOwner=General\\Owner\n"
           "[Components]\n"
           "Program=$ProgramFolder\n"
           "Help=$ProgramFolder\\Help\n"
           "[RegistrySettings]\n"
           "General\\StartupWelcome=#1\n"
           "[GlobalRegistrySettings]\n"
           "General\\Edition=Studio\n",
           {TTestEntry::Dir("Program", {TTestEntry::File("Vm5.exe", "program"), TTestEntry::Dir("Data")}),
            TTestEntry::Dir("Help", {TTestEntry::File("Velmora.chm", "help text")})});
    const std::string program = ProgramFolder + "Vm5.exe";
    // What is on disk and in the registry when each step is reported: files are written
    // after "Copying files..." and before the settings, the settings before 100.
    std::vector<std::string> seen;
    Progress.OnEvent = [&](const std::string& event) {
        const bool written =
            System->Environment().ReadString(rrLocalMachine, VersionKey, "Location").has_value();
        seen.push_back(event + (FileExists(program) ? " files" : "") + (written ? " settings" : ""));
    };
    Setup->Install(Progress);

    EXPECT_EQ(Progress.Events, Events());
    const std::vector<std::string> expectedSeen = {"0",
                                                   "Preparing installation...",
                                                   "25",
                                                   "Copying files...",
                                                   "75 files",
                                                   "Creating settings... files",
                                                   "100 files settings"};
    EXPECT_EQ(seen, expectedSeen);
    EXPECT_EQ(Setup->RequiredSpace, 7 + 9);

    // Files with the archive's date, and the empty folder.
    EXPECT_EQ(ReadBytes(program), "program");
    EXPECT_EQ(ReadBytes(ProgramFolder + "Help\\Velmora.chm"), "help text");
    EXPECT_TRUE(DirectoryExists(ProgramFolder + "Data"));
    EXPECT_EQ(GetFileDate(program), Setup->Installer->ArchiveFileDate);

    // The product's registry entries.
    ISetupEnvironment& registry = System->Environment();
    EXPECT_EQ(registry.ReadString(rrLocalMachine, VersionKey, "Location"), ProgramFolder);
    EXPECT_EQ(registry.ReadString(rrLocalMachine, VersionKey, "VersionString"), "5.04");
    EXPECT_EQ(registry.ReadString(rrCurrentUser, VersionKey + "\\General", "Owner"), "Ann Example");
    EXPECT_EQ(System->ReadInteger(rrCurrentUser, VersionKey + "\\General", "StartupWelcome"), 1u);
    EXPECT_EQ(registry.ReadString(rrLocalMachine, VersionKey + "\\General", "Edition"), "Studio");

    // The uninstaller and its registration, named after the full product name.
    const std::string uninstaller = ProgramFolder + "Uninst.exe";
    ASSERT_TRUE(FileExists(uninstaller));
    const std::string registration = std::string(UninstallKey) + "Velmora 5.04";
    EXPECT_EQ(registry.ReadString(rrLocalMachine, registration, "DisplayName"), "Velmora 5.04");
    EXPECT_EQ(registry.ReadString(rrLocalMachine, registration, "UninstallString"),
              "\"" + uninstaller + "\"");

    // Its record: the product's name and version, and the log with both product keys (to be
    // deleted whole) after the files.
    TUninstaller record(uninstaller);
    EXPECT_EQ(std::string(record.ProductData.begin(), record.ProductData.end()), "Velmora");
    EXPECT_EQ(record.Version.ToText(), "5.04");
    const std::vector<std::string>& log = record.InstallLog;
    const auto at = [&](const std::string& entry) {
        return std::find(log.begin(), log.end(), entry) - log.begin();
    };
    const auto end = static_cast<ptrdiff_t>(log.size());
    const std::string userKey = "U\\" + VersionKey;
    const std::string machineKey = "M\\" + VersionKey;
    EXPECT_LT(at("F" + program), at(userKey));
    EXPECT_LT(at("F" + ProgramFolder + "Help\\Velmora.chm"), at(userKey));
    EXPECT_EQ(at(userKey) + 1, at(machineKey));
    EXPECT_LT(at(machineKey), end);
    EXPECT_EQ(log.back(), "M\\" + registration);
}

TEST_F(InstallRunTest, CallsTheProductLibrariesAfterCopying) {
    // As Setup.exe does when it starts: libraries only from the system folder.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    Create("[Components]\n"
           "Program=$ProgramFolder\n"
           "[CallLibraries]\n"
           "RegisterComponents=$ProgramFolder\\InstallTestLibrary.dll\n"
           "RegisterComponents=$ProgramFolder\\Missing.dll\n"
           "NoSuchExport=$ProgramFolder\\InstallTestLibrary.dll\n"
           "registerpresets=$ProgramFolder\\InstallTestLibrary.dll\n"
           "RegisterPresets=$ProgramFolder\\InstallTestLibrary.dll\n",
           {TTestEntry::Dir("Program",
                            {TTestEntry::File("InstallTestLibrary.dll", ReadBytes(BuildFile(TEST_LIBRARY))),
                             TTestEntry::File("InstallTestHelper.dll", ReadBytes(BuildFile(TEST_HELPER)))})});
    const std::string calls = ProgramFolder + "Calls.txt";
    std::vector<std::string> callsSeen;
    Progress.OnEvent = [&](const std::string& event) {
        callsSeen.push_back(FileExists(calls) ? ReadBytes(calls) : "");
    };
    Setup->Install(Progress);

    EXPECT_EQ(Progress.Events, Events({}, true));
    // Each export that exists is called once, in order, after the files are in place and
    // before the settings; a missing library, a missing export and a name in the wrong case
    // are passed over.
    EXPECT_EQ(ReadBytes(calls), "RegisterComponents\r\nRegisterPresets\r\n");
    ASSERT_EQ(callsSeen.size(), 9u);
    EXPECT_EQ(callsSeen[5], "");                                          // Initializing components...
    EXPECT_EQ(callsSeen[6], "RegisterComponents\r\nRegisterPresets\r\n"); // 75
    EXPECT_EQ(Environment->LibraryCallResults, (std::vector<bool>{true, false, false, false, true}));
    // The libraries are freed again.
    EXPECT_EQ(::GetModuleHandleA("InstallTestLibrary.dll"), nullptr);
    EXPECT_EQ(::GetModuleHandleA("InstallTestHelper.dll"), nullptr);
    // The helper beside the library is found only through the library's own folder: the
    // restricted search alone does not find it.
    UniqueModule plain(::LoadLibraryA((ProgramFolder + "InstallTestLibrary.dll").c_str()));
    EXPECT_FALSE(plain);
}

TEST_F(InstallRunTest, ReportsEachSelectedBundleItem) {
    struct TCase {
        const char* Name;
        std::vector<bool> Selected;
        bool Libraries;
        std::vector<std::string> Positions; // reported between "Copying files..." and the stage's end
    };
    const TCase cases[] = {
        {"only the third", {false, false, true}, false, {"25"}},
        {"only the third, with libraries", {false, false, true}, true, {"25"}},
        {"first and third", {true, false, true}, false, {"25", "50"}},
        {"all three, with libraries", {true, true, true}, true, {"25", "33", "41"}},
        {"none", {false, false, false}, false, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Reset();
        Create(std::string("IsBundle=1\n"
                           "BundleRegistryRoot=") +
                   TestBundleRoot +
                   "\n"
                   "[Components]\n"
                   "$BundleItem=$ProgramFolder\\$BundleItem\n"
                   "Program=$ProgramFolder\n" +
                   (c.Libraries ? "[CallLibraries]\nRegister=$ProgramFolder\\Missing.dll\n" : ""),
               {TTestEntry::Dir("Reverb", {TTestEntry::File("Reverb.dll", "r")}),
                TTestEntry::Dir("Delay", {TTestEntry::File("Delay.dll", "d")}),
                TTestEntry::Dir("Chorus", {TTestEntry::File("Chorus.dll", "c")}),
                TTestEntry::Dir("Program", {TTestEntry::File("Vm5.exe", "program")})},
               std::string("Reverb=1.02\nDelay=2.15\nChorus=1.50\n"));
        ASSERT_EQ(Setup->BundleItemCount(), 3);
        for (int index = 0; index < 3; ++index)
            Setup->BundleItem(index).Selected = c.Selected[static_cast<size_t>(index)];
        Setup->Install(Progress);

        EXPECT_EQ(Progress.Events, Events(c.Positions, c.Libraries));
        // The selected items' files, dated with their versions; the product's own files in
        // every case, last written in the pass without an item.
        for (int index = 0; index < 3; ++index) {
            const TSetupBundleItem& item = Setup->BundleItem(index);
            const std::string file = ProgramFolder + item.Name + "\\" + item.Name + ".dll";
            EXPECT_EQ(FileExists(file), item.Selected) << item.Name;
            if (item.Selected) {
                EXPECT_EQ(GetFileDate(file), item.FileDate) << item.Name;
            }
        }
        EXPECT_EQ(GetFileDate(ProgramFolder + "Vm5.exe"), Setup->Installer->ArchiveFileDate);
        // A bundle registers under its product name alone.
        EXPECT_TRUE(System->Environment().ReadString(rrLocalMachine, std::string(UninstallKey) + "Velmora",
                                                     "DisplayName"));
    }
}

TEST_F(InstallRunTest, WritesVst3PluginsWithTheirOwnExtension) {
    for (const bool vst3 : {true, false}) {
        SCOPED_TRACE(vst3 ? "VST 3 chosen" : "VST 3 declined");
        Reset();
        Create(
            "[Components]\n"
            "Vst3=$Vst3PluginFolder\\Velmora\n"
            "Vst3Host=$Vst3ProgramFolder\\VST3\n"
            "Vst=$VstPluginFolder\n",
            {TTestEntry::Dir("Vst3", {TTestEntry::File("Reverb.DLL", "r"), TTestEntry::File("Delay.dll", "d"),
                                      TTestEntry::File("Notes.dll.txt", "n")}),
             TTestEntry::Dir("Vst3Host", {TTestEntry::File("Host.dll", "h")}),
             TTestEntry::Dir("Vst", {TTestEntry::File("Velmora.dll", "v")})});
        Setup->InstallVst3Plugin = vst3;
        Setup->Install(Progress);

        const std::string plugins = Setup->Vst3PluginFolder + "\\Velmora\\";
        EXPECT_EQ(FileExists(plugins + "Reverb.vst3"), vst3);
        EXPECT_EQ(FileExists(plugins + "Delay.vst3"), vst3);
        EXPECT_EQ(FileExists(plugins + "Notes.dll.txt"), vst3);
        EXPECT_FALSE(FileExists(plugins + "Reverb.DLL"));
        EXPECT_FALSE(FileExists(plugins + "Delay.dll"));
        EXPECT_EQ(FileExists(ProgramFolder + "VST3\\Host.vst3"), vst3);
        EXPECT_FALSE(DirectoryExists(Setup->Vst3PluginFolder) && !vst3);
        // A VST 2 target keeps its names.
        EXPECT_TRUE(FileExists(Setup->VstPluginFolder + "\\Velmora.dll"));
        // With VST 3 declined no component goes to the product folder; it is made for the
        // uninstaller all the same, and logged so that the uninstaller removes it.
        EXPECT_TRUE(FileExists(ProgramFolder + "Uninst.exe"));
        const std::vector<std::string>& log = Setup->Installer->InstallLog;
        EXPECT_EQ(std::count(log.begin(), log.end(), "D" + ProgramFolder), 1);
    }
}

TEST_F(InstallRunTest, KeepsExistingFilesOnlyForNoOverwriteComponents) {
    const std::pair<const char*, bool> cases[] = {
        {"Samples=NoOverwrite", true},
        {"samples=NoOverwrite", false},
        {"Samples=nooverwrite", false},
    };
    for (const auto& [option, keeps] : cases) {
        SCOPED_TRACE(option);
        Reset();
        Create(std::string("[Components]\nSamples=$ProgramFolder\\Samples\n[ComponentsOptions]\n") + option +
                   "\n",
               {TTestEntry::Dir(
                   "Samples", {TTestEntry::File("Loop.wav", "theirs"), TTestEntry::File("New.wav", "new")})});
        const std::string loop = ProgramFolder + "Samples\\Loop.wav";
        MakeFile(loop);
        WriteBytes(loop, "mine");
        Setup->Install(Progress);

        EXPECT_EQ(ReadBytes(loop), keeps ? "mine" : "theirs");
        EXPECT_EQ(ReadBytes(ProgramFolder + "Samples\\New.wav"), "new");
        // A file that was kept is not the product's: the uninstaller leaves it.
        const std::vector<std::string>& log = Setup->Installer->InstallLog;
        EXPECT_EQ(std::count(log.begin(), log.end(), "F" + loop), keeps ? 0 : 1);
    }
}

// A second run over an installation of the product in its folder: an update with one file
// fewer, or the same version again. The new uninstaller's record holds what both runs
// made, each item once, and removes it: the file the update no longer ships, the files of a
// NoOverwrite component that the second run kept, the product folder that the second run found
// existing. The folder that existed before both stays.
TEST_F(InstallRunTest, SecondRunOverAnInstallationKeepsOneRecordOfBoth) {
    for (const bool repair : {false, true}) {
        SCOPED_TRACE(repair ? "repair" : "update");
        Reset();
        const std::string existing = Folder->PathOf("Program Files");
        CreateDir(existing);
        const char* const ini = "[Components]\nProgram=$ProgramFolder\nSamples=$ProgramFolder\\Samples\n"
                                "[ComponentsOptions]\nSamples=NoOverwrite\n";
        const auto entries = [](bool withOld) {
            std::vector<TTestEntry> program = {TTestEntry::File("Vm5.exe", "program")};
            if (withOld)
                program.push_back(TTestEntry::File("Old.dll", "old"));
            return std::vector<TTestEntry>{
                TTestEntry::Dir("Program", program),
                TTestEntry::Dir("Samples", {TTestEntry::File("Loop.wav", "loop")})};
        };
        Create(ini, entries(true));
        Setup->Install(Progress);
        Create(ini, entries(repair));
        Setup->Install(Progress);

        TUninstaller uninstaller(ProgramFolder + "Uninst.exe");
        const std::vector<std::string>& log = uninstaller.InstallLog;
        EXPECT_EQ(std::count(log.begin(), log.end(), "F" + ProgramFolder + "Vm5.exe"), 1);
        EXPECT_EQ(std::count(log.begin(), log.end(), "D" + ProgramFolder), 1);
        EXPECT_TRUE(uninstaller.Uninstall()) << ::testing::PrintToString(log);
        EXPECT_FALSE(FileExists(ProgramFolder + "Old.dll"));
        EXPECT_FALSE(FileExists(ProgramFolder + "Vm5.exe"));
        EXPECT_FALSE(DirectoryExists(ProgramFolder + "Samples"));
        // The product folder, created by the first run, is left to the batch file with the
        // uninstaller in it; the folder that existed before stays.
        EXPECT_EQ(uninstaller.DeferredFolders, (std::vector<std::string>{ProgramFolder, ProgramFolder}));
        EXPECT_TRUE(DirectoryExists(existing));
    }
}

TEST_F(InstallRunTest, CreatesShortcutsAndRemovesOlderOnes) {
    Create("[Components]\n"
           "Program=$ProgramFolder\n"
           "[Shortcuts]\n"
           "StartMenu=$ProgramFolder\\Vm5.exe,$ProductName $ProductVersion\n"
           "StartMenu=$ProgramFolder\\Vm5.exe,$ProductName Viewer $ProductVersion,/View,11\n"
           "StartMenu=$ProgramFolder\\Vm5.exe,Velmora Copy\n"
           "Desktop=$ProgramFolder\\Vm5.exe,$ProductName\n"
           "ProgramFolder=$ProgramFolder\\Vm5.exe\n"
           "startmenu=$ProgramFolder\\Vm5.exe,Lower Case\n"
           "Elsewhere=$ProgramFolder\\Vm5.exe,Elsewhere\n"
           "StartMenu=$VstPluginFolder\\Velmora.dll,Declined Host\n",
           {TTestEntry::Dir("Program", {TTestEntry::File("Vm5.exe", "program")})});
    Setup->SelectedShortcuts = {scStartMenu};
    Setup->InstallVstPlugin = false;
    const std::string target = ProgramFolder + "Vm5.exe";
    // Shortcuts of an earlier version: to the same target with the same arguments (in another
    // letter case), with other arguments, to another target; one on the desktop.
    MakeFile(target);
    CreateShellLink(StartMenu + "\\Velmora 4.lnk", target, "", 0);
    CreateShellLink(StartMenu + "\\Old Viewer.lnk", target, "/VIEW", 0);
    CreateShellLink(StartMenu + "\\Velmora Tools.lnk", target, "/Tools", 0);
    CreateShellLink(StartMenu + "\\Other.lnk", "C:\\windows\\notepad.exe", "", 0);
    CreateShellLink(Desktop + "\\Velmora 4.lnk", target, "", 0);
    Setup->Install(Progress);

    const std::vector<std::string> startMenu = {"Other.lnk", "Velmora 5.04.lnk", "Velmora Copy.lnk",
                                                "Velmora Tools.lnk", "Velmora Viewer 5.04.lnk"};
    EXPECT_EQ(LinkFiles(StartMenu), startMenu);
    // The desktop was not chosen: nothing made there, nothing removed.
    EXPECT_EQ(LinkFiles(Desktop), std::vector<std::string>{"Velmora 4.lnk"});
    EXPECT_EQ(LinkFiles(ExcludeDelimiter(ProgramFolder)), std::vector<std::string>{"Vm5.lnk"});

    const TLinkContents plain = ReadLink(StartMenu + "\\Velmora 5.04.lnk");
    EXPECT_TRUE(SameText(plain.Path, target)) << plain.Path;
    EXPECT_EQ(plain.Arguments, "");
    EXPECT_EQ(plain.IconIndex, 0);
    const TLinkContents viewer = ReadLink(StartMenu + "\\Velmora Viewer 5.04.lnk");
    EXPECT_EQ(viewer.Arguments, "/View");
    EXPECT_TRUE(SameText(viewer.IconFile, target)) << viewer.IconFile;
    EXPECT_EQ(viewer.IconIndex, -11);
    EXPECT_TRUE(SameText(ReadLink(ProgramFolder + "Vm5.lnk").Path, target));

    // The uninstaller removes the shortcuts it made.
    const std::vector<std::string>& log = Setup->Installer->InstallLog;
    for (const char* link : {"Velmora 5.04.lnk", "Velmora Viewer 5.04.lnk", "Velmora Copy.lnk"})
        EXPECT_EQ(std::count(log.begin(), log.end(), "F" + StartMenu + "\\" + link), 1) << link;
    EXPECT_EQ(std::count(log.begin(), log.end(), "F" + ProgramFolder + "Vm5.lnk"), 1);
}

TEST_F(InstallRunTest, StopsBeforeCopyingWhenSpaceIsShort) {
    Create("[Components]\nProgram=$ProgramFolder\n",
           {TTestEntry::Dir("Program", {TTestEntry::File("Vm5.exe", "program")})});
    Environment->FreeSpace = 1048576 + 6; // one byte short
    EXPECT_EQ(ErrorOf<ESetupError>([&] { Setup->Install(Progress); }), NotEnoughSpace);
    EXPECT_EQ(Progress.Events, (std::vector<std::string>{"0", "Preparing installation..."}));
    EXPECT_EQ(Setup->RequiredSpace, 7);
    EXPECT_FALSE(DirectoryExists(ProgramFolder));
    EXPECT_FALSE(System->Environment().ReadString(rrLocalMachine, VersionKey, "Location"));
    EXPECT_FALSE(System->Environment().ReadString(rrLocalMachine, std::string(UninstallKey) + "Velmora 5.04",
                                                  "DisplayName"));
}

// Runs only through small-volume.sh, which maps a drive of a few mebibytes and names it in
// SETUP_TEST_SMALL_DRIVE.
TEST_F(InstallRunTest, SmallVolume) {
    const char* drive = std::getenv("SETUP_TEST_SMALL_DRIVE");
    if (drive == nullptr || *drive == '\0')
        GTEST_SKIP() << "no small volume (install_tests_small_volume maps one)";
    const std::string root = std::string(drive) + "\\";
    ULARGE_INTEGER available;
    ASSERT_TRUE(::GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr));
    ASSERT_LT(available.QuadPart, 8u * 1048576);

    // A component larger than the volume: refused before any file is written.
    Create("[Components]\nProgram=$ProgramFolder\n",
           {TTestEntry::Dir("Program", {TTestEntry::File("Big.dat", std::string(8 * 1048576, '\0'))})});
    Setup->SetProgramFolder(root + "Velmora 5");
    EXPECT_EQ(ErrorOf<ESetupError>([&] { Setup->Install(Progress); }), NotEnoughSpace);
    EXPECT_EQ(Progress.Events, (std::vector<std::string>{"0", "Preparing installation..."}));
    EXPECT_FALSE(DirectoryExists(root + "Velmora 5"));
    EXPECT_EQ(Environment->FreeSpaceQueries, std::vector<std::string>{root});

    // The limit on the real volume: what is free, less the mebibyte kept in reserve.
    const uint64_t limit = available.QuadPart - 1048576;
    Setup->RequiredSpace = static_cast<int64_t>(limit);
    EXPECT_NO_THROW(Setup->CheckDiskSpace());
    Setup->RequiredSpace = static_cast<int64_t>(limit + 1);
    EXPECT_THROW(Setup->CheckDiskSpace(), ESetupError);
}

} // namespace
