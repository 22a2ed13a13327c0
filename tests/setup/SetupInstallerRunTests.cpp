// The steps of the installation run on their own: the space the components need and the
// free-space check against it, the NoOverwrite option, which library calls are made, how a
// shortcut line is read, and (under Windows) the destination folder test of the wizard.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "common/Errors.h"
#include "setup/SetupInstaller.h"
#include "tests/setup/InstallTestSupport.h"
#include "tests/setup/SetupTestSupport.h"
#include "tests/support/TestValues.h"

#include "common/FileSystem.h"
#include "common/Path.h"

#ifdef _WIN32
#include "tests/support/TestWindows.h"
#endif

namespace {

const uint64_t MiB = 1048576;

class InstallStepsTest : public ::testing::Test {
protected:
    TTestFolder Folder;
    TTestSystem System;
    TInstallEnvironment Environment{System.Environment()};

    std::unique_ptr<TSetupInstaller> Create(const std::string& iniTail,
                                            std::vector<TTestEntry> entries = {}) {
        TTestSetup setup;
        setup.Ini = std::string(MinimalSetupSection) + iniTail;
        setup.ProductVersion = Version("5.04");
        setup.Entries = std::move(entries);
        auto installer = std::make_unique<TSetupInstaller>(WriteSetup(Folder, setup), Environment);
        installer->ProgramFolder = "C:\\Program Files\\Velmora 5\\";
        return installer;
    }
};

TEST_F(InstallStepsTest, AddsUpTheSizeOfEveryComponentLine) {
    auto setup =
        Create("[Components]\n"
               "Program=$ProgramFolder\n"
               "Vst=$VstPluginFolder\n"
               "Missing=$ProgramFolder\\Missing\n"
               "$BundleItem=$ProgramFolder\\$BundleItem\n"
               "program=$ProgramFolder\\Again\n"
               "no equals sign\n",
               {TTestEntry::Dir("Program", {TTestEntry::File("Vm5.exe", std::string(1000, 'x')),
                                            TTestEntry::Dir("Sub", {TTestEntry::File("a.txt", "abc")})}),
                TTestEntry::Dir("Vst", {TTestEntry::File("Velmora.dll", std::string(200, 'v'))}),
                TTestEntry::File("Loose.txt", std::string(5000, 'l'))});
    // Lines count as written, also those the extraction passes over (a declined host); names
    // are found in any letter case; a name that is no archive folder adds nothing.
    setup->InstallVstPlugin = false;
    EXPECT_EQ(setup->GetRequiredSpace(), 1003 + 200 + 0 + 0 + 1003);

    auto empty = Create("");
    EXPECT_EQ(empty->GetRequiredSpace(), 0);

    // More than 4 GiB, which 32 bits would wrap to a size that fits anywhere.
    TTestEntry big = TTestEntry::File("big", "x");
    big.FileSize = INT32_MAX;
    auto large = Create("[Components]\nBig=$ProgramFolder\nBig=$ProgramFolder\\Again\n",
                        {TTestEntry::Dir("Big", {big, big})});
    EXPECT_EQ(large->GetRequiredSpace(), 4 * int64_t(INT32_MAX));
}

// A destination that is not a full path is refused before anything is extracted.
TEST_F(InstallStepsTest, RefusesComponentDestinationsThatAreNotFullPaths) {
    const std::pair<const char*, bool> cases[] = {
        {"$ProgramFolder\\Help", true},
        {"\\\\server\\share\\Velmora", true},
        {"D:\\", true},
        {"ProgramFolder", false},
        {"\\Filters", false},
        {"C:Velmora", false},
        {"\\\\server", false},
        {"\\\\server\\", false},
    };
    for (const auto& [target, accepted] : cases) {
        auto setup = Create(std::string("[Components]\nProgram=$ProgramFolder\nHelp=") + target + "\n");
        if (accepted) {
            EXPECT_NO_THROW(setup->CheckComponentDestinations()) << target;
            continue;
        }
        const std::string error = ErrorOf<ESetupError>([&] { setup->CheckComponentDestinations(); });
        EXPECT_NE(error.find(std::string("\"Help=") + target + "\""), std::string::npos) << error;
    }
}

TEST_F(InstallStepsTest, NeedsOneMebibyteMoreThanTheComponents) {
    struct TCase {
        const char* Name;
        int64_t RequiredSpace;
        uint64_t FreeSpace;
        bool Enough;
    };
    const TCase cases[] = {
        {"exactly enough", 5000, 5000 + MiB, true},
        {"one byte short", 5000, 5000 + MiB - 1, false},
        {"nothing to copy still needs the margin", 0, MiB - 1, false},
        {"nothing to copy, margin free", 0, MiB, true},
        {"the query failed", 0, 0, false},
        {"4 GiB less a byte, just enough", 0xFFFFFFFF, 0xFFFFFFFFull + MiB, true},
        {"4 GiB less a byte, a byte short", 0xFFFFFFFF, 0xFFFFFFFFull + MiB - 1, false},
        {"far more than 4 GiB free", 0xFFFFFFFF, 1ull << 40, true},
        {"5 GiB needed, 4 GiB free", 5ll << 30, (4ull << 30) + MiB, false},
    };
    auto setup = Create("");
    for (const TCase& c : cases) {
        setup->RequiredSpace = c.RequiredSpace;
        Environment.FreeSpace = c.FreeSpace;
        if (c.Enough) {
            EXPECT_NO_THROW(setup->CheckDiskSpace()) << c.Name;
        } else {
            EXPECT_EQ(ErrorOf<ESetupError>([&] { setup->CheckDiskSpace(); }), NotEnoughSpace) << c.Name;
        }
    }
}

TEST_F(InstallStepsTest, AsksForTheSpaceOnTheDestinationVolume) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Program Files\\Velmora 5\\", "C:\\"},
        {"d:\\Velmora\\", "d:\\"},
        {"\\\\server\\share\\Programs\\Velmora 5\\", "\\\\server\\share\\"},
        {"\\\\server\\share", "\\\\server\\share\\"},
    };
    auto setup = Create("");
    Environment.FreeSpace = 2 * MiB;
    for (const auto& [folder, root] : cases) {
        setup->ProgramFolder = folder;
        Environment.FreeSpaceQueries.clear();
        setup->CheckDiskSpace();
        EXPECT_EQ(Environment.FreeSpaceQueries, std::vector<std::string>{root}) << folder;
    }
}

TEST_F(InstallStepsTest, NoOverwriteMatchesNameAndOptionExactly) {
    auto setup = Create("[ComponentsOptions]\n"
                        "Samples=NoOverwrite\n"
                        "presets=NoOverwrite\n"
                        "Program=nooverwrite\n"
                        "Help=Overwrite\n"
                        "Help=NoOverwrite\n");
    const std::pair<const char*, bool> cases[] = {
        {"Samples", true},  {"samples", false}, {"presets", true},  {"Presets", false},
        {"Program", false}, {"Help", true},     {"Missing", false}, {"", false},
    };
    for (const auto& [component, expected] : cases)
        EXPECT_EQ(setup->IsNoOverwrite(component), expected) << component;
}

TEST_F(InstallStepsTest, DescribesTheInstallationForTheListOfPrograms) {
    auto setup =
        Create("Publisher=Vendor Audio\n"
               "[Components]\n"
               "Program=$ProgramFolder\n"
               "Vst=$VstPluginFolder\n"
               "Declined=$Vst3PluginFolder\n"
               "Program=$ProgramFolder\n"
               "[ComponentsOptions]\n"
               "Vst=NoOverwrite\n",
               {TTestEntry::Dir("Program", {TTestEntry::File("Vm5.exe", std::string(1000, 'x')),
                                            TTestEntry::Dir("Sub", {TTestEntry::File("a.txt", "abc")})}),
                TTestEntry::Dir("Vst", {TTestEntry::File("Kept.dll", std::string(200, 'k')),
                                        TTestEntry::File("New.dll", std::string(30, 'n'))}),
                TTestEntry::Dir("Declined", {TTestEntry::File("x.dll", std::string(5000, 'd'))})});
    const std::string program = Folder.PathOf("Velmora 5") + PathDelimiter();
    setup->ProgramFolder = program;
    setup->VstPluginFolder = Folder.PathOf("Vst");
    setup->Vst3PluginFolder = Folder.PathOf("Vst3");
    setup->InstallVst3Plugin = false;
    MakeFile(Folder.PathOf("Vst") + PathDelimiter() + "Kept.dll");
    TRecordingProgress progress;
    setup->InstallComponents(progress, 25, 75);
    // Counted: what was written, each file once although its component came twice. Not
    // counted: the file NoOverwrite kept, the declined host's component.
    EXPECT_EQ(setup->InstalledBytes, 1000u + 3u + 30u);

    // The icon is the product's when it is there, else the uninstaller's.
    const std::string uninstaller = JoinPath(setup->ProgramFolder, "Uninst.exe");
    const std::pair<std::string, std::string> icons[] = {
        {program + "Vm5.exe", program + "Vm5.exe"},
        {program + "Missing.exe", uninstaller},
        {"$Vst3PluginFolder\\Velmora.exe", uninstaller},
        {"", uninstaller},
    };
    for (const auto& [product, icon] : icons) {
        setup->CompleteProduct = product;
        const TUninstallDetails details = setup->UninstallDetails();
        EXPECT_EQ(details.DisplayIcon, icon) << product;
        EXPECT_EQ(details.DisplayVersion, "5.04");
        EXPECT_EQ(details.InstallLocation, setup->ProgramFolder);
        EXPECT_EQ(details.Publisher, "Vendor Audio");
        EXPECT_EQ(details.InstalledBytes, setup->InstalledBytes);
    }

    // No Publisher key: none to show. A bundle shows its own version, not an item's.
    TTestSetup bundle;
    bundle.Ini = std::string(MinimalSetupSection) + "IsBundle=1\nBundleRegistryRoot=Software\\Items\n";
    bundle.BundleInfo = "Reverb=1.02\n";
    bundle.ProductVersion = Version("2.10 beta 3");
    const TUninstallDetails details =
        TSetupInstaller(WriteSetup(Folder, bundle), Environment).UninstallDetails();
    EXPECT_EQ(details.Publisher, "");
    EXPECT_EQ(details.DisplayVersion, "2.10 beta 3");
    EXPECT_EQ(details.InstalledBytes, 0u);
}

// Each bundle item has its place on the bar, and the bytes written move it between those
// places: a large first item takes the bar past the second's place, where it must stay.
TEST_F(InstallStepsTest, BarNeverFallsBackToAnItemsPlaceOnceTheBytesMovedItFurther) {
    TTestSetup bundle;
    bundle.Ini = std::string(MinimalSetupSection) +
                 "IsBundle=1\nBundleRegistryRoot=Software\\Items\n[Components]\n"
                 "$BundleItem=$ProgramFolder\\$BundleItem\nProgram=$ProgramFolder\n";
    bundle.BundleInfo = "Large=1.00\nSmall=1.00\n";
    bundle.Entries = {TTestEntry::Dir("Large", {TTestEntry::File("Large.dll", std::string(90000, 'l'))}),
                      TTestEntry::Dir("Small", {TTestEntry::File("Small.dll", "s")}),
                      TTestEntry::Dir("Program", {TTestEntry::File("Vm5.exe", "program")})};
    TSetupInstaller setup(WriteSetup(Folder, bundle), Environment);
    setup.ProgramFolder = Folder.PathOf("Velmora 5") + PathDelimiter();
    ASSERT_EQ(setup.BundleItemCount(), 2);
    struct TPositions final : ISetupProgress {
        std::vector<int32_t> Shown;
        void SetProgress(int32_t position) override { Shown.push_back(position); }
        void SetStatus(const std::string&) override {}
        void SetCopyProgress(int32_t position) override { Shown.push_back(position); }
    } progress;
    setup.InstallComponents(progress, 25, 75);

    ASSERT_GE(progress.Shown.size(), 2u);
    EXPECT_EQ(progress.Shown.front(), 25);
    EXPECT_GT(progress.Shown.back(), 50); // past the second item's place
    EXPECT_TRUE(std::is_sorted(progress.Shown.begin(), progress.Shown.end()))
        << ::testing::PrintToString(progress.Shown);
}

// A folder that the run creates outside Program Files gets an access list of its own, given as
// it is created, before anything is written into it; the log holds it as any folder the run
// creates. (The list itself is the system's affair: Wine keeps none.)
TEST_F(InstallStepsTest, ProtectsTheTopmostFolderItCreatesOutsideProgramFiles) {
    const char d = PathDelimiter();
    const std::string base = Folder.MakeFolder("Drive") + d;
    Environment.ProgramFiles = Folder.MakeFolder(std::string("Drive") + d + "Program Files");
    // With a trailing delimiter, and spelt with "/" on Windows: the same folder.
    Environment.NativeProgramFiles = Folder.MakeFolder("Drive/Program Files 64") + d;
    Folder.MakeFolder("Drive/Existing");
    auto setup = Create("[Components]\n"
                        "Program=$ProgramFolder\n"
                        "Vst=$VstPluginFolder\n"
                        "Vst3=$Vst3PluginFolder\n"
                        "Presets=$Documents\n",
                        {TTestEntry::Dir("Program", {TTestEntry::File("Vm5.exe", "x")}),
                         TTestEntry::Dir("Vst", {TTestEntry::File("Velmora.dll", "v")}),
                         TTestEntry::Dir("Vst3", {TTestEntry::File("Velmora.vst3", "3")}),
                         TTestEntry::Dir("Presets", {TTestEntry::File("Warm.preset", "p")})});
    setup->ProgramFolder = base + "Vendor" + d + "Velmora 5" + d;
    setup->VstPluginFolder = base + "VstPlugins";
    setup->Vst3PluginFolder = *Environment.ProgramFiles + d + "Common Files" + d + "VST3";
    setup->DocumentsFolder = base + "Documents";
    TRecordingProgress progress;
    setup->InstallComponents(progress, 25, 75);
    // The vendor's folder above the product's, and a plug-in folder at the drive's root; not
    // the folders below Program Files, nor the user's own.
    const std::vector<std::string> protectedFolders = {base + "Vendor", base + "VstPlugins"};
    EXPECT_EQ(Environment.ProtectedFolders, protectedFolders);
    EXPECT_TRUE(FileExists(setup->ProgramFolder + "Vm5.exe"));
    // Each protected folder logged once as created, after the existing folder above it and
    // before anything below it.
    for (const std::string& folder : protectedFolders) {
        const auto& log = setup->Installer->InstallLog;
        const auto created = std::find(log.begin(), log.end(), "D" + folder + d);
        ASSERT_NE(created, log.end()) << folder;
        EXPECT_EQ(std::count(log.begin(), log.end(), "D" + folder + d), 1) << folder;
        EXPECT_EQ(created[-1], "E" + base) << folder;
        for (auto entry = log.begin(); entry != created; ++entry)
            EXPECT_EQ(entry->find(folder + d), std::string::npos) << *entry;
    }

    const std::pair<std::string, std::string> cases[] = {
        {base + "Existing", ""},
        {base + "Existing" + d + "Velmora" + d + "Presets", base + "Existing" + d + "Velmora" + d},
        {base + "Program Files 64" + d + "Velmora", ""},
        // A name that starts like Program Files is no folder of it.
        {base + "Program Files Old" + d + "Velmora", base + "Program Files Old" + d},
        {base + "Documents" + d + "Velmora 5" + d + "Presets", ""},
        // Below a folder that this run protected already: it inherits that.
        {base + "Vendor" + d + "Velmora Extras", ""},
    };
    for (const auto& [destination, protectedFolder] : cases)
        EXPECT_EQ(setup->FolderToProtect(destination), protectedFolder) << destination;
}

TEST_F(InstallStepsTest, CallsEachLibraryThatHasAPath) {
    auto setup = Create("[CallLibraries]\n"
                        "RegisterComponents=$ProgramFolder\\Velmora.dll\n"
                        "RegisterHost=$VstPluginFolder\\Velmora.dll\n"
                        "=$ProgramFolder\\Nameless.dll\n"
                        "no equals sign\n"
                        "RegisterComponents=$ProgramFolder\\Missing.dll\n"
                        "Plain=system.dll\n");
    setup->InstallVstPlugin = false;
    setup->RunCallLibraries();
    // A declined host's library and a line without an export name are not called; the rest
    // are, in order, and a library that is not there is passed over without an error.
    const std::vector<std::string> expected = {
        "RegisterComponents=C:\\Program Files\\Velmora 5\\Velmora.dll",
        "RegisterComponents=C:\\Program Files\\Velmora 5\\Missing.dll",
        "Plain=system.dll",
    };
    EXPECT_EQ(Environment.LibraryCalls, expected);
    EXPECT_EQ(Environment.LibraryCallResults, std::vector<bool>(3, false));
}

TEST_F(InstallStepsTest, ReadsShortcutValues) {
    struct TCase {
        const char* Value;
        const char* Target;
        const char* Title;
        const char* Arguments;
        int32_t IconIndex;
    };
    const TCase cases[] = {
        {"$ProgramFolder\\Vm5.exe,$ProductName $ProductVersion", "$ProgramFolder\\Vm5.exe", "Velmora 5.04",
         "", 0},
        {"$ProgramFolder\\Vm5.exe,$ProductName Viewer $ProductVersion,/View,11", "$ProgramFolder\\Vm5.exe",
         "Velmora Viewer 5.04", "/View", -11},
        // Without a comma the title is the target's file name without its extension, and
        // nothing is trimmed.
        {"$ProgramFolder\\Vm5.exe", "$ProgramFolder\\Vm5.exe", "Vm5", "", 0},
        {" C:\\Tools.v2\\Tool ", " C:\\Tools.v2\\Tool ", "Tool ", "", 0},
        {"C:\\Tool.exe.bak", "C:\\Tool.exe.bak", "Tool.exe", "", 0},
        // Target and title are trimmed, the arguments are used as written.
        {" \tC:\\Vm5.exe , Velmora ,  -a b , 3", "C:\\Vm5.exe", "Velmora", "  -a b ", -3},
        {"C:\\Vm5.exe,Velmora,,-7", "C:\\Vm5.exe", "Velmora", "", -7},
        {"C:\\Vm5.exe,Velmora,/a", "C:\\Vm5.exe", "Velmora", "/a", 0},
        {"C:\\Vm5.exe,Velmora,", "C:\\Vm5.exe", "Velmora", "", 0},
        {"C:\\Vm5.exe,", "C:\\Vm5.exe", "", "", 0},
        // The icon number: the shared integer conversion, anything else counts as 0; text after
        // a fourth comma belongs to it.
        {"C:\\Vm5.exe,Velmora,/a,x", "C:\\Vm5.exe", "Velmora", "/a", 0},
        {"C:\\Vm5.exe,Velmora,/a,1,2", "C:\\Vm5.exe", "Velmora", "/a", 0},
        {"C:\\Vm5.exe,Velmora,/a,$10", "C:\\Vm5.exe", "Velmora", "/a", -16},
        {"C:\\Vm5.exe,Velmora,/a,-2147483648", "C:\\Vm5.exe", "Velmora", "/a", INT32_MIN},
        {"C:\\Vm5.exe,Velmora,/a,2147483647", "C:\\Vm5.exe", "Velmora", "/a", -INT32_MAX},
    };
    auto setup = Create("");
    for (const TCase& c : cases) {
        const TShortcutValue shortcut = setup->ReadShortcutValue(c.Value);
        EXPECT_EQ(shortcut.Target, c.Target) << c.Value;
        EXPECT_EQ(shortcut.Title, c.Title) << c.Value;
        EXPECT_EQ(shortcut.Arguments, c.Arguments) << c.Value;
        EXPECT_EQ(shortcut.IconIndex, c.IconIndex) << c.Value;
    }
}

#ifdef _WIN32

TEST_F(InstallStepsTest, TestsWhetherAFolderCanBeCreated) {
    auto setup = Create("");
    const std::string base = Folder.PathOf("Dest");
    ASSERT_TRUE(CreateDir(base));
    const std::string file = base + "\\Taken";
    MakeFile(file);

    struct TCase {
        std::string Path;
        bool Expected;
    };
    const TCase cases[] = {
        {base, true},
        {base + "\\", true},
        {base + "\\Velmora 5\\Presets\\Factory", true},
        // Only a root, nothing at all, a bare name.
        {"C:\\", false},
        {"C:", false},
        {"", false},
        {"Velmora", false},
        {UnusedDrive() + "\\Velmora 5", false},
        // A file stands where a folder would have to be.
        {file, false},
        {file + "\\Sub", false},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(setup->CanCreateFolder(c.Path), c.Expected) << c.Path;
        // The disk is as it was: nothing new below the base folder, the file still a file.
        EXPECT_FALSE(DirectoryExists(base + "\\Velmora 5")) << c.Path;
        EXPECT_TRUE(FileExists(file)) << c.Path;
        EXPECT_TRUE(DirectoryExists(base)) << c.Path;
    }
}

#endif

} // namespace
