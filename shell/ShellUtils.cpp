// Windows shell services over the shell's ANSI functions and the shell link object.

#include "shell/ShellUtils.h"

#include <exdisp.h>
#include <objidl.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <cwchar>
#include <optional>
#include <vector>

#include "common/CommonUtils.h"
#include "common/Path.h"
#include "common/Registry.h"
#include "common/Stream.h"
#include "common/WideText.h"
#include "common/WinHandle.h"

namespace {

int SpecialFolderCsidl(TSpecialFolder kind) {
    switch (kind) {
    case sfRecycleBin:
        return CSIDL_BITBUCKET;
    case sfDesktop:
        return CSIDL_DESKTOPDIRECTORY;
    case sfNetHood:
        return CSIDL_NETHOOD;
    case sfPersonal:
        return CSIDL_PERSONAL;
    case sfPrograms:
        return CSIDL_PROGRAMS;
    case sfRecent:
        return CSIDL_RECENT;
    case sfSendTo:
        return CSIDL_SENDTO;
    case sfStartMenu:
        return CSIDL_STARTMENU;
    case sfStartup:
        return CSIDL_STARTUP;
    case sfTemplates:
        return CSIDL_TEMPLATES;
    case sfAppData:
        return CSIDL_APPDATA;
    case sfProgramFiles:
        return CSIDL_PROGRAM_FILES;
    case sfCommonFiles:
        return CSIDL_PROGRAM_FILES_COMMON;
    case sfCommonDesktop:
        return CSIDL_COMMON_DESKTOPDIRECTORY;
    }
    return -1;
}

// The file-system path of an item list, or nothing for a virtual item (Recycle Bin, Control
// Panel, a computer on the network). The shell writes at most MAX_PATH characters. Asked for
// in UTF-16 and converted here: in UTF-8 those characters can take three times as many bytes,
// and SHGetPathFromIDListA cuts the path at MAX_PATH bytes.
std::optional<std::string> PathFromItemList(LPCITEMIDLIST list) {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (!::SHGetPathFromIDListW(list, buffer))
        return std::nullopt;
    return FromWide(buffer);
}

void ThrowIfFailed(HRESULT result) {
    if (FAILED(result))
        throw EComError(SystemErrorMessage(static_cast<int>(result)), result);
}

// A new shell link object with the two interfaces the shortcut functions use.
struct TShellLink {
    TComPtr<IShellLinkA> Link;
    TComPtr<IPersistFile> File;
};

TShellLink CreateShellLinkObject() {
    TShellLink object;
    ThrowIfFailed(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     object.Link.PutVoid()));
    ThrowIfFailed(object.Link->QueryInterface(IID_IPersistFile, object.File.PutVoid()));
    return object;
}

// Runs inside SHBrowseForFolderA's modal loop; it must not let an exception reach the shell.
int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM param, LPARAM data) noexcept {
    try {
        switch (message) {
        case BFFM_INITIALIZED: {
            // Open the dialog on the starting folder, spelt as the shell spells folder paths:
            // without a trailing backslash.
            const std::string folder = ExcludeDelimiter(reinterpret_cast<const char*>(data));
            // wParam TRUE: lParam is a path, not an item list.
            ::SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
            break;
        }
        case BFFM_SELCHANGED: {
            // Show the full path of the new selection under the title; an item without a
            // file-system path leaves the text as it was. (The dialog of the new style keeps its
            // status area hidden; the text is set all the same.)
            if (const std::optional<std::string> path =
                    PathFromItemList(reinterpret_cast<LPCITEMIDLIST>(param)))
                ::SendMessageA(dialog, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(path->c_str()));
            break;
        }
        }
    } catch (...) {
    }
    return 0;
}

} // namespace

std::string GetSpecialFolder(TSpecialFolder kind) {
    UniquePidl list;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, SpecialFolderCsidl(kind), list.Put())))
        return std::string();
    return PathFromItemList(list.Get()).value_or(std::string());
}

std::string GetCurrentVersionFolder(TSpecialFolder kind, const std::string& valueName,
                                    const std::string& defaultFolder) {
    std::string folder = GetSpecialFolder(kind);
    if (!folder.empty())
        return folder;
    // Older systems: the shell knows no such folder, but Windows Setup recorded it here.
    if (UniqueHKey key = OpenKey(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion")) {
        std::optional<std::string> value = ReadStringValue(key.Get(), valueName.c_str());
        if (value && !value->empty())
            return *value;
    }
    return defaultFolder;
}

std::string GetProgramFilesFolder() {
    return GetCurrentVersionFolder(sfProgramFiles, "ProgramFilesDir", "C:\\Program Files");
}

std::string GetCommonFilesFolder() {
    return GetCurrentVersionFolder(sfCommonFiles, "CommonFilesDir", "C:\\Program Files\\Common Files");
}

std::string GetApplicationDataFolder() {
    std::string folder = GetSpecialFolder(sfAppData);
    return folder.empty() ? GetProgramFilesFolder() : folder;
}

std::string GetDocumentsFolder() {
    std::string folder = GetSpecialFolder(sfPersonal);
    return folder.empty() ? std::string("C:\\My Documents") : folder;
}

std::string BrowseForFolder(HWND owner, const std::string& prompt, const std::string& initialFolder) {
    char displayName[MAX_PATH] = {};

    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr; // the desktop
    info.pszDisplayName = displayName;
    info.lpszTitle = prompt.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(initialFolder.c_str());

    // No item list: the user cancelled.
    UniquePidl chosen(::SHBrowseForFolderA(&info));
    if (!chosen.Get())
        return initialFolder;
    return PathFromItemList(chosen.Get()).value_or(initialFolder);
}

void CreateShellLink(const std::string& linkFile, const std::string& target, const std::string& arguments,
                     int iconIndex) {
    std::string iconFile = target;
    if (iconIndex == 0)
        GetDefaultIcon(target, iconFile, iconIndex);

    TShellLink object = CreateShellLinkObject();
    // The results are not examined: a shortcut that cannot be written (its folder is missing,
    // say) is simply not there afterwards.
    object.Link->SetPath(target.c_str());
    if (!arguments.empty())
        object.Link->SetArguments(arguments.c_str());
    object.Link->SetWorkingDirectory(FileFolder(target).c_str());
    object.Link->SetIconLocation(iconFile.c_str(), iconIndex);
    // TRUE: the saved file becomes the object's current file.
    object.File->Save(ToWide(linkFile).c_str(), TRUE);
}

bool ReadShellLink(const std::string& linkFile, std::string& target, std::string& arguments) {
    TShellLink object = CreateShellLinkObject();
    if (object.File->Load(ToWide(linkFile).c_str(), STGM_READ) != S_OK)
        return false;

    // GetPath answers S_FALSE for a shortcut to a virtual item (no file-system path).
    char path[MAX_PATH + 1] = {};
    WIN32_FIND_DATAA findData = {};
    if (object.Link->GetPath(path, MAX_PATH, &findData, 0) != S_OK)
        return false;
    char args[MAX_PATH + 1] = {};
    if (object.Link->GetArguments(args, MAX_PATH) != S_OK)
        return false;
    target = path;
    arguments = args;
    return true;
}

void GetDefaultIcon(const std::string& fileName, std::string& iconFile, int& iconIndex) {
    iconFile = fileName;
    iconIndex = 0;
    const std::string extension = FileExtension(fileName);
    if (extension.empty() || SameFileName(extension, ".ico") || SameFileName(extension, ".exe"))
        return;

    // HKEY_CLASSES_ROOT\.ext names the file type; the type's DefaultIcon key holds
    // "file" or "file,index".
    std::optional<std::string> className;
    if (UniqueHKey key = OpenKey(HKEY_CLASSES_ROOT, extension))
        className = ReadStringValue(key.Get(), nullptr);
    if (!className || className->empty())
        return;
    UniqueHKey iconKey = OpenKey(HKEY_CLASSES_ROOT, *className + "\\DefaultIcon");
    if (!iconKey)
        return;
    std::optional<std::string> value = ReadStringValue(iconKey.Get(), nullptr);
    if (!value)
        return;

    iconFile = TrimText(*value);
    const size_t comma = iconFile.find(',');
    if (comma == std::string::npos)
        return;
    int32_t index = 0;
    // A non-numeric index leaves the whole value, comma included, as the icon file.
    if (!TryStrToInt(TrimText(iconFile.substr(comma + 1)), index))
        return;
    iconIndex = index;
    iconFile.erase(comma);
}

bool IsProcessElevated() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    UniqueHandle owned(token);
    // TokenElevation exists from Windows Vista on; before, the query fails and nothing is raised.
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    return ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

namespace {

// A BSTR or a variant that frees what it holds.
class TBstr {
public:
    explicit TBstr(const std::string& text) : Value(::SysAllocString(ToWide(text).c_str())) {}
    ~TBstr() { ::SysFreeString(Value); }
    TBstr(const TBstr&) = delete;
    TBstr& operator=(const TBstr&) = delete;
    BSTR Get() const { return Value; }

private:
    BSTR Value;
};

class TVariant {
public:
    TVariant() { ::VariantInit(&Value); }
    explicit TVariant(const std::string& text) : TVariant() {
        Value.vt = VT_BSTR;
        Value.bstrVal = ::SysAllocString(ToWide(text).c_str());
    }
    explicit TVariant(int number) : TVariant() {
        Value.vt = VT_I4;
        Value.lVal = number;
    }
    ~TVariant() { ::VariantClear(&Value); }
    TVariant(const TVariant&) = delete;
    TVariant& operator=(const TVariant&) = delete;
    VARIANT& Get() { return Value; }

private:
    VARIANT Value;
};

} // namespace

bool OpenFromDesktopShell(const std::string& file, const std::string& workingFolder) {
    // The desktop's window is served by the shell process that the user logged on to (it
    // runs unelevated); its folder view hands out the shell's automation object, whose
    // ShellExecute runs in that process. An elevated program that opened the file itself
    // would start the Readme's viewer or the product with the administrator's rights, through
    // a file association that the user's own registry decides. This is the shell's documented
    // automation, not a trick with tokens: nothing runs with a token that the user could not
    // get anyway. Without a desktop shell (a session without Explorer, an elevation to another
    // user's account, whose desktop belongs to someone else) a step fails and the caller
    // opens the file itself. Wine's desktop answers as Windows' does, in the same process
    // and with the same rights.
    TComPtr<IShellWindows> windows;
    if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows,
                                  windows.PutVoid())))
        return false;
    TVariant location(CSIDL_DESKTOP);
    TVariant empty;
    long window = 0;
    TComPtr<IDispatch> desktop;
    if (windows->FindWindowSW(&location.Get(), &empty.Get(), SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                              desktop.Put()) != S_OK ||
        !desktop)
        return false;
    TComPtr<IServiceProvider> provider;
    if (FAILED(desktop->QueryInterface(IID_IServiceProvider, provider.PutVoid())))
        return false;
    TComPtr<IShellBrowser> browser;
    if (FAILED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.PutVoid())))
        return false;
    TComPtr<IShellView> view;
    if (FAILED(browser->QueryActiveShellView(view.Put())) || !view)
        return false;
    TComPtr<IDispatch> background;
    if (FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.PutVoid())))
        return false;
    TComPtr<IShellFolderViewDual> folderView;
    if (FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.PutVoid())))
        return false;
    TComPtr<IDispatch> application;
    if (FAILED(folderView->get_Application(application.Put())) || !application)
        return false;
    TComPtr<IShellDispatch2> shell;
    if (FAILED(application->QueryInterface(IID_IShellDispatch2, shell.PutVoid())))
        return false;
    TBstr path(file);
    // No arguments and the default verb: empty variants.
    TVariant arguments;
    TVariant folder = workingFolder.empty() ? TVariant() : TVariant(workingFolder);
    TVariant operation;
    TVariant show(SW_SHOWNORMAL);
    return SUCCEEDED(
        shell->ShellExecute(path.Get(), arguments.Get(), folder.Get(), operation.Get(), show.Get()));
}
