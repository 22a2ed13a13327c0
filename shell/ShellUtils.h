// Windows shell services: special folder paths (with fallbacks for older systems), the
// folder-browsing dialog, shortcut (.lnk) files and the default icon of a file type.
// Free functions that keep no state between calls. Windows only.
//
// The shell link object and the browse dialog need the component model initialised on the
// calling thread in the single-threaded apartment (TComInitializer in common/WinHandle.h).
#pragma once

#include <windows.h>

#include <string>

#include "common/Errors.h"

// The special folders that GetSpecialFolder knows; each is bound to a shell folder
// identifier (CSIDL). sfDesktop and sfPrograms are the current user's folders.
enum TSpecialFolder {
    sfRecycleBin,
    sfDesktop,
    sfNetHood,
    sfPersonal,
    sfPrograms,
    sfRecent,
    sfSendTo,
    sfStartMenu,
    sfStartup,
    sfTemplates,
    sfAppData,
    sfProgramFiles,
    sfCommonFiles,
    sfCommonDesktop,
};

// Failure to create the shell link object or to obtain one of its interfaces; the message is
// the system's text for the component model's result code.
class EComError : public Exception {
public:
    EComError(const std::string& message, HRESULT code) : Exception(message), Code(code) {}
    HRESULT Code;
};

// Folder paths come without a trailing backslash, as the shell gives them (a drive root keeps
// its backslash). Empty when the shell has no file-system folder of that kind.
std::string GetSpecialFolder(TSpecialFolder kind);

// The shell's folder of that kind; when the shell gives none, the string value valueName of
// HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion, and when that is missing or
// empty, defaultFolder.
std::string GetCurrentVersionFolder(TSpecialFolder kind, const std::string& valueName,
                                    const std::string& defaultFolder);
std::string GetProgramFilesFolder();
std::string GetCommonFilesFolder();
std::string GetApplicationDataFolder();
std::string GetDocumentsFolder();

// Shows the modal folder-browsing dialog, opened on initialFolder, with prompt under its title
// and the full path of the selection as status text. Returns the chosen folder, or
// initialFolder unchanged when the user cancels or chooses an item without a file-system path.
std::string BrowseForFolder(HWND owner, const std::string& prompt, const std::string& initialFolder);

// Saves a shortcut at linkFile to target, starting in target's folder. iconIndex 0 takes the
// icon from GetDefaultIcon(target); any other index selects that icon of target itself (a
// negative one by resource identifier). Only creating the shell link object can fail loudly
// (EComError); a shortcut that cannot be saved is silently missing.
void CreateShellLink(const std::string& linkFile, const std::string& target, const std::string& arguments,
                     int iconIndex);

// Reads the target path and the arguments of the shortcut at linkFile. False when the file
// cannot be loaded or the shortcut has no file-system path; the out values are then not
// meaningful. Like CreateShellLink, raises EComError when the shell link object cannot be
// created.
bool ReadShellLink(const std::string& linkFile, std::string& target, std::string& arguments);

// The icon for fileName: the file itself for .ico and .exe, otherwise the DefaultIcon of its
// file type under HKEY_CLASSES_ROOT ("file" or "file,index"). Lookups that fail leave the values
// reached so far, starting from fileName and 0.
void GetDefaultIcon(const std::string& fileName, std::string& iconFile, int& iconIndex);

// True when the process runs with rights that UAC raised (an administrator's full token); false
// before Windows Vista and for a process started with its user's own rights.
bool IsProcessElevated();

// Opens file with its default action, in workingFolder (none when empty), through the desktop's
// own shell process, so that it runs as the logged-on user with that user's rights and not
// with those of an elevated caller. False when no desktop shell answers (none runs, it runs as
// another user, or the shell does not offer the desktop's window); the file is then not opened.
// Whether the file opens is not known either way.
bool OpenFromDesktopShell(const std::string& file, const std::string& workingFolder);
