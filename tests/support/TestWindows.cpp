#include "tests/support/TestWindows.h"

#include <objidl.h>
#include <shlobj.h>

#include <stdexcept>

#include "common/WinHandle.h"

std::string ClassOf(HWND window) {
    char name[256] = {};
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

std::string TextOf(HWND window) {
    char text[1024] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

namespace {

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    if (::IsWindowVisible(window) && ClassOf(window) == "#32770") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

std::string UnusedDrive() {
    const DWORD drives = ::GetLogicalDrives();
    for (char letter : std::string("QRSTUVWXYJKLMNOP"))
        if ((drives & (1u << (letter - 'A'))) == 0)
            return std::string(1, letter) + ":";
    throw std::runtime_error("no unused drive letter");
}

HWND FindThreadDialog(DWORD thread) {
    HWND dialog = nullptr;
    ::EnumThreadWindows(thread, FindDialog, reinterpret_cast<LPARAM>(&dialog));
    return dialog;
}

TLinkContents LoadLink(const std::string& linkFile) {
    TComPtr<IShellLinkA> link;
    TComPtr<IPersistFile> file;
    const std::wstring wide(linkFile.begin(), linkFile.end());
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  link.PutVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid())) ||
        FAILED(file->Load(wide.c_str(), STGM_READ)))
        throw std::runtime_error("cannot load the shortcut " + linkFile);
    char buffer[MAX_PATH + 1] = {};
    TLinkContents contents;
    link->GetPath(buffer, MAX_PATH, nullptr, 0);
    contents.Path = buffer;
    buffer[0] = 0;
    link->GetArguments(buffer, MAX_PATH);
    contents.Arguments = buffer;
    buffer[0] = 0;
    link->GetWorkingDirectory(buffer, MAX_PATH);
    contents.WorkingDirectory = buffer;
    buffer[0] = 0;
    link->GetIconLocation(buffer, MAX_PATH, &contents.IconIndex);
    contents.IconFile = buffer;
    return contents;
}
