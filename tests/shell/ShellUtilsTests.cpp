// The shell services against the real shell under Wine: special folders and their registry
// fallbacks, default icons from HKEY_CLASSES_ROOT, shortcut files (read back through the shell
// link object itself) and the folder-browsing dialog on the virtual display.

#include "common/Path.h"
#include "shell/ShellUtils.h"

#include <commctrl.h>
#include <objidl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/CommonUtils.h"
#include "common/WinHandle.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestRegistry.h"
#include "tests/support/TestWindows.h"

namespace {

const char CurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";

// A file type of the test's own: ".shelltestvm" of class "ShellTest.VmDocument".
const char TestExtension[] = ".shelltestvm";
const char TestClass[] = "ShellTest.VmDocument";
const std::string TestIconKey = std::string(TestClass) + "\\DefaultIcon";

// Every test runs in a single-threaded apartment, as the setup program's user-interface
// thread does.
class ShellTest : public testing::Test {
protected:
    TComInitializer Com;
};

// ---------------------------------------------------------------------------------------------
// Special folders

// Whether this 32-bit program runs on 64-bit Windows. IsWow64Process is missing before
// Windows XP SP2, which had no 64-bit edition beside it.
bool RunsUnderWow64() {
    using TIsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64Process = reinterpret_cast<TIsWow64Process>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

TEST_F(ShellTest, FileSystemFoldersHaveShellPaths) {
    // Each kind reaches its own folder: a full path ending in the folder's standard (English)
    // name, in any case. Wine gives the Documents folder, a link to the Unix home, with a
    // trailing backslash; the function passes on what the shell gives. On 64-bit Windows a
    // 32-bit program is given the folders of 32-bit programs.
    const std::string programFiles = RunsUnderWow64() ? "\\Program Files (x86)" : "\\Program Files";
    const std::pair<TSpecialFolder, std::string> folders[] = {
        {sfDesktop, "\\Desktop"},
        {sfPersonal, "\\Documents"},
        {sfPrograms, "\\Start Menu\\Programs"},
        {sfStartMenu, "\\Start Menu"},
        {sfStartup, "\\Programs\\Startup"},
        {sfAppData, "\\AppData\\Roaming"},
        {sfProgramFiles, programFiles},
        {sfCommonFiles, programFiles + "\\Common Files"},
        {sfCommonDesktop, "\\Public\\Desktop"},
    };
    for (const auto& [kind, ending] : folders) {
        std::string folder = GetSpecialFolder(kind);
        SCOPED_TRACE(folder);
        ASSERT_GE(folder.size(), 3u);
        EXPECT_EQ(folder.substr(1, 2), ":\\");
        if (kind == sfPersonal && folder.back() == '\\')
            folder.pop_back();
        ASSERT_GE(folder.size(), ending.size());
        EXPECT_TRUE(SameText(folder.substr(folder.size() - ending.size()), ending));
    }
}

TEST_F(ShellTest, VirtualFolderHasNoPath) {
    // The Recycle Bin is a shell item without a file-system path.
    EXPECT_EQ(GetSpecialFolder(sfRecycleBin), "");
}

// The registry fallback, reached through a kind for which the shell gives no path.
class CurrentVersionFallback : public ShellTest {
protected:
    static constexpr char ValueName[] = "ShellTestFolderDir";
    TRegistryValueGuard Value{HKEY_LOCAL_MACHINE, CurrentVersionKey, ValueName};

    std::string Folder() { return GetCurrentVersionFolder(sfRecycleBin, ValueName, "C:\\Default Folder"); }
};

TEST_F(CurrentVersionFallback, RegistryValueWhenPresent) {
    WriteRegistryString(HKEY_LOCAL_MACHINE, CurrentVersionKey, ValueName, "D:\\Programme");
    EXPECT_EQ(Folder(), "D:\\Programme");
    // Expandable strings count as strings and are taken as they are.
    WriteRegistryString(HKEY_LOCAL_MACHINE, CurrentVersionKey, ValueName, "%SystemDrive%\\Apps",
                        REG_EXPAND_SZ);
    EXPECT_EQ(Folder(), "%SystemDrive%\\Apps");
}

TEST_F(CurrentVersionFallback, DefaultWhenMissingEmptyOrNotText) {
    EXPECT_EQ(Folder(), "C:\\Default Folder");
    WriteRegistryString(HKEY_LOCAL_MACHINE, CurrentVersionKey, ValueName, "");
    EXPECT_EQ(Folder(), "C:\\Default Folder");
    const DWORD number = 5;
    WriteRegistryValue(HKEY_LOCAL_MACHINE, CurrentVersionKey, ValueName, REG_DWORD, &number, sizeof number);
    EXPECT_EQ(Folder(), "C:\\Default Folder");
}

TEST_F(CurrentVersionFallback, ShellFolderWinsOverRegistry) {
    WriteRegistryString(HKEY_LOCAL_MACHINE, CurrentVersionKey, ValueName, "D:\\Programme");
    EXPECT_EQ(GetCurrentVersionFolder(sfProgramFiles, ValueName, "C:\\Default Folder"),
              GetSpecialFolder(sfProgramFiles));
}

// ---------------------------------------------------------------------------------------------
// Default icons

class DefaultIcon : public ShellTest {
protected:
    TRegistryKeyGuard ExtensionKey{HKEY_CLASSES_ROOT, TestExtension};
    TRegistryKeyGuard ClassKey{HKEY_CLASSES_ROOT, TestClass};

    static void RegisterType() { WriteRegistryString(HKEY_CLASSES_ROOT, TestExtension, nullptr, TestClass); }
    static void RegisterIcon(const std::string& value, DWORD type = REG_SZ) {
        RegisterType();
        WriteRegistryString(HKEY_CLASSES_ROOT, TestIconKey, nullptr, value, type);
    }
    static std::pair<std::string, int> IconOf(const std::string& fileName) {
        std::string file = "unset";
        int index = 12345;
        GetDefaultIcon(fileName, file, index);
        return {file, index};
    }
};

using TIcon = std::pair<std::string, int>;

TEST_F(DefaultIcon, ValueForms) {
    struct TCase {
        const char* Value;
        DWORD Type;
        TIcon Expected;
    };
    const TCase cases[] = {
        {"C:\\Tools\\viewer.exe, 2", REG_SZ, {"C:\\Tools\\viewer.exe", 2}},
        {"C:\\Tools\\viewer.exe", REG_SZ, {"C:\\Tools\\viewer.exe", 0}},
        {" \tC:\\Tools\\viewer.exe,-102 \r\n", REG_SZ, {"C:\\Tools\\viewer.exe", -102}},
        {"C:\\Tools\\viewer.exe,$10", REG_SZ, {"C:\\Tools\\viewer.exe", 16}},
        // Only the first comma splits.
        {"C:\\Tools\\a,b.dll,3", REG_SZ, {"C:\\Tools\\a,b.dll,3", 0}},
        {"C:\\Tools\\viewer.exe,first", REG_SZ, {"C:\\Tools\\viewer.exe,first", 0}},
        {"C:\\Tools\\viewer.exe,", REG_SZ, {"C:\\Tools\\viewer.exe,", 0}},
        {"%SystemRoot%\\system32\\shell32.dll,1", REG_EXPAND_SZ, {"%SystemRoot%\\system32\\shell32.dll", 1}},
        {"", REG_SZ, {"", 0}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Value);
        RegisterIcon(c.Value, c.Type);
        EXPECT_EQ(IconOf("C:\\Docs\\Report.shelltestvm"), c.Expected);
        EXPECT_EQ(IconOf("C:\\Docs\\REPORT.SHELLTESTVM"), c.Expected);
    }
}

TEST_F(DefaultIcon, LookupStopsWhereTheRegistryEnds) {
    const std::string file = "C:\\Docs\\Report.shelltestvm";
    EXPECT_EQ(IconOf(file), TIcon(file, 0)) << "no such extension";
    RegisterType();
    EXPECT_EQ(IconOf(file), TIcon(file, 0)) << "no DefaultIcon key";
    WriteRegistryString(HKEY_CLASSES_ROOT, TestIconKey, "Other", "C:\\Tools\\viewer.exe,2");
    EXPECT_EQ(IconOf(file), TIcon(file, 0)) << "no default value";
    const DWORD number = 7;
    WriteRegistryValue(HKEY_CLASSES_ROOT, TestIconKey, nullptr, REG_DWORD, &number, sizeof number);
    EXPECT_EQ(IconOf(file), TIcon(file, 0)) << "default value not a string";
}

TEST_F(DefaultIcon, ProgramsAndIconsAreTheirOwnIcon) {
    // Wine registers DefaultIcon keys for both types; they must not be consulted.
    for (const char* file :
         {"C:\\Program Files\\Velmora 5\\Vm5.exe", "C:\\Icons\\App.ICO", "C:\\Tools\\RUN.Exe"})
        EXPECT_EQ(IconOf(file), TIcon(file, 0));
    // No extension: a full stop in a folder name does not make one.
    RegisterIcon("C:\\Tools\\viewer.exe,2");
    EXPECT_EQ(IconOf("C:\\Docs.shelltestvm\\Report"), TIcon("C:\\Docs.shelltestvm\\Report", 0));
}

// ---------------------------------------------------------------------------------------------
// Shortcut files

bool FileExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class ShellLink : public ShellTest {
protected:
    void SetUp() override {
        Product = Folder.MakeFolder("Velmora 5");
        Program = Folder.MakeFile("Velmora 5\\Vm5.exe");
    }

    TTestFolder Folder;
    std::string Product;
    std::string Program;
};

TEST_F(ShellLink, ProgramIsItsOwnIcon) {
    const std::string link = Folder.PathOf("Velmora 5.lnk");
    CreateShellLink(link, Program, "/safe \"two words\"", 0);
    const TLinkContents contents = LoadLink(link);
    EXPECT_EQ(contents.Path, Program);
    EXPECT_EQ(contents.Arguments, "/safe \"two words\"");
    EXPECT_EQ(contents.WorkingDirectory, Product + "\\");
    EXPECT_EQ(contents.IconFile, Program);
    EXPECT_EQ(contents.IconIndex, 0);
}

TEST_F(ShellLink, IconByNumberOfTheTarget) {
    const std::string link = Folder.PathOf("Velmora 5.lnk");
    CreateShellLink(link, Program, "", -11);
    const TLinkContents contents = LoadLink(link);
    EXPECT_EQ(contents.Arguments, "");
    EXPECT_EQ(contents.IconFile, Program);
    EXPECT_EQ(contents.IconIndex, -11);
}

TEST_F(ShellLink, DocumentTakesTheIconOfItsType) {
    TRegistryKeyGuard extensionKey(HKEY_CLASSES_ROOT, TestExtension);
    TRegistryKeyGuard classKey(HKEY_CLASSES_ROOT, TestClass);
    WriteRegistryString(HKEY_CLASSES_ROOT, TestExtension, nullptr, TestClass);
    WriteRegistryString(HKEY_CLASSES_ROOT, TestIconKey, nullptr, "C:\\Tools\\viewer.exe, 2");
    const std::string readme = Folder.MakeFile("Velmora 5\\Readme.shelltestvm");
    const std::string link = Folder.PathOf("Readme.lnk");
    CreateShellLink(link, readme, "", 0);
    const TLinkContents contents = LoadLink(link);
    EXPECT_EQ(contents.Path, readme);
    EXPECT_EQ(contents.WorkingDirectory, Product + "\\");
    EXPECT_EQ(contents.IconFile, "C:\\Tools\\viewer.exe");
    EXPECT_EQ(contents.IconIndex, 2);
}

TEST_F(ShellLink, UnsavableShortcutIsSilentlyMissing) {
    const std::string link = Folder.PathOf("missing\\Velmora 5.lnk");
    EXPECT_NO_THROW(CreateShellLink(link, Program, "", 0));
    EXPECT_FALSE(FileExists(link));
}

TEST_F(ShellLink, ReadBackTargetAndArguments) {
    const std::string link = Folder.PathOf("Velmora 5.lnk");
    CreateShellLink(link, Program, "-open \"C:\\My Files\\a.vm\"", -3);
    std::string target = "unset";
    std::string arguments = "unset";
    ASSERT_TRUE(ReadShellLink(link, target, arguments));
    EXPECT_EQ(target, Program);
    EXPECT_EQ(arguments, "-open \"C:\\My Files\\a.vm\"");

    CreateShellLink(link, Program, "", 0);
    ASSERT_TRUE(ReadShellLink(link, target, arguments));
    EXPECT_EQ(target, Program);
    EXPECT_EQ(arguments, "");
}

TEST_F(ShellLink, UnreadableShortcutsReadAsFalse) {
    std::string target;
    std::string arguments;
    EXPECT_FALSE(ReadShellLink(Folder.PathOf("none.lnk"), target, arguments)) << "missing file";
    const std::string text = Folder.MakeFile("empty.lnk");
    EXPECT_FALSE(ReadShellLink(text, target, arguments)) << "not a shortcut";
}

TEST_F(ShellLink, ShortcutWithoutPathReadsAsFalse) {
    // A shortcut to "My Computer": an item list without a file-system path.
    const std::string link = Folder.PathOf("Computer.lnk");
    {
        TComPtr<IShellLinkA> shellLink;
        TComPtr<IPersistFile> file;
        ASSERT_EQ(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     shellLink.PutVoid()),
                  S_OK);
        ASSERT_EQ(shellLink->QueryInterface(IID_IPersistFile, file.PutVoid()), S_OK);
        LPITEMIDLIST computer = nullptr;
        ASSERT_EQ(::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer), S_OK);
        const HRESULT set = shellLink->SetIDList(computer);
        ::CoTaskMemFree(computer);
        ASSERT_EQ(set, S_OK);
        std::wstring wide(link.begin(), link.end());
        ASSERT_EQ(file->Save(wide.c_str(), TRUE), S_OK);
    }
    ASSERT_TRUE(FileExists(link));
    std::string target;
    std::string arguments;
    EXPECT_FALSE(ReadShellLink(link, target, arguments));
}

// The desktop's shell opens a file in the folder asked for. Wine's desktop answers as
// Windows' does; where no desktop shell runs, there is nothing to test.
TEST_F(ShellTest, DesktopShellOpensTheFileInTheWorkingFolder) {
    TTestFolder folder;
    const std::string work = folder.MakeFolder("Work");
    const std::string marker = folder.PathOf("marker.txt");
    const std::string batch = folder.MakeFile("Write marker.bat", "cd > \"" + marker + "\"\r\n");
    if (!OpenFromDesktopShell(batch, work))
        GTEST_SKIP() << "no desktop shell answers";
    // The shell starts the file in its own time.
    for (int i = 0; i < 100 && !FileExists(marker); ++i)
        ::Sleep(100);
    std::ifstream written(marker);
    std::string line;
    std::getline(written, line);
    EXPECT_EQ(TrimText(line), work);
}

TEST(ShellLinkWithoutCom, CreatingTheObjectFailsLoudly) {
    // A thread that never initialised the component model cannot create the shell link object.
    TTestFolder folder;
    std::string message;
    HRESULT code = S_OK;
    std::thread worker([&] {
        try {
            CreateShellLink(folder.PathOf("a.lnk"), folder.PathOf("a.exe"), "", 1);
        } catch (const EComError& error) {
            message = error.Message();
            code = error.Code;
        }
    });
    worker.join();
    EXPECT_EQ(code, CO_E_NOTINITIALIZED);
    EXPECT_FALSE(message.empty());
    EXPECT_FALSE(FileExists(folder.PathOf("a.lnk")));
}

// ---------------------------------------------------------------------------------------------
// Folder-browsing dialog

// What a timer sees of the browse dialog while it runs in SHBrowseForFolderA's modal loop, and
// which button it presses when it has seen enough. The status text is read from the dialog's
// static controls, hidden ones included: with the new dialog style the status area is not
// shown, but it still receives the text.
struct TBrowseWatch {
    std::string ExpectedStatus;    // the starting folder, without trailing backslash
    std::string ExpectedSelection; // the tree item's name
    std::string Prompt;
    int Button = IDCANCEL;
    DWORD Deadline = 0;
    bool SawDialog = false;
    bool SawStatus = false;
    bool SawPrompt = false;
    std::string Selection;
    std::vector<std::string> Texts;
};

TBrowseWatch* Watch = nullptr;

std::string SelectedTreeItem(HWND tree) {
    HTREEITEM item = reinterpret_cast<HTREEITEM>(::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item)
        return std::string();
    char text[MAX_PATH + 1] = {};
    TVITEMA data = {};
    data.mask = TVIF_TEXT;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = MAX_PATH;
    ::SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
    return text;
}

BOOL CALLBACK InspectControl(HWND control, LPARAM) {
    const std::string kind = ClassOf(control);
    if (kind == "Static") {
        const std::string text = TextOf(control);
        Watch->Texts.push_back(text);
        Watch->SawStatus = Watch->SawStatus || text == Watch->ExpectedStatus;
        Watch->SawPrompt = Watch->SawPrompt || text == Watch->Prompt;
    } else if (kind == "SysTreeView32") {
        Watch->Selection = SelectedTreeItem(control);
    }
    return TRUE;
}

void CALLBACK WatchBrowseDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindThreadDialog();
    const bool late = ::GetTickCount() > Watch->Deadline;
    if (!dialog) {
        if (late)
            ::KillTimer(nullptr, timer);
        return;
    }
    Watch->SawDialog = true;
    Watch->Texts.clear();
    ::EnumChildWindows(dialog, InspectControl, 0);
    if ((Watch->SawStatus && Watch->Selection == Watch->ExpectedSelection) || late) {
        ::KillTimer(nullptr, timer);
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(Watch->Button, BN_CLICKED), 0);
    }
}

// Lists a folder once. Linux updates a folder's last-access time on the first read after a
// change, and Wine's item lists carry that time: a new folder read for the first time while
// the dialog parses the starting path would no longer match its item in the dialog's tree,
// and the dialog would open on the desktop.
void SettleAccessTime(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE)
        ::FindClose(search);
}

class BrowseForFolderDialog : public ShellTest {
protected:
    void SetUp() override {
        Product = Folder.MakeFolder("Velmora 5");
        SettleAccessTime(ExcludeDelimiter(Folder.Path()));
        SettleAccessTime(Product);
    }

    // Runs the dialog from the starting folder, presses the button once it shows that folder.
    std::string Run(const std::string& initialFolder, int button) {
        Watch = &State;
        State.ExpectedStatus = Product;
        State.ExpectedSelection = "Velmora 5";
        State.Prompt = "Choose the folder for the program:";
        State.Button = button;
        // A fresh Wine prefix builds its shell folders on first use, which takes seconds.
        State.Deadline = ::GetTickCount() + 60000;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, WatchBrowseDialog);
        std::string result = BrowseForFolder(nullptr, State.Prompt, initialFolder);
        ::KillTimer(nullptr, timer);
        Watch = nullptr;
        return result;
    }
    void ExpectOpenedOnProduct() {
        EXPECT_TRUE(State.SawDialog);
        EXPECT_TRUE(State.SawPrompt);
        EXPECT_TRUE(State.SawStatus) << "status texts: " << testing::PrintToString(State.Texts);
        EXPECT_EQ(State.Selection, "Velmora 5");
    }

    TTestFolder Folder{"C:\\"};
    std::string Product;
    TBrowseWatch State;
};

TEST_F(BrowseForFolderDialog, CancelReturnsStartingFolderUnchanged) {
    const std::string initial = Product + "\\";
    EXPECT_EQ(Run(initial, IDCANCEL), initial);
    ExpectOpenedOnProduct();
}

TEST_F(BrowseForFolderDialog, ChosenFolderComesWithoutBackslash) {
    EXPECT_EQ(Run(Product + "\\", IDOK), Product);
    ExpectOpenedOnProduct();
}

} // namespace
