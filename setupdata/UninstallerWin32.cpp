// The Windows parts of the uninstall engine: the self-removal batch file, its folder and the
// command processor that runs it.

#include "setupdata/Uninstaller.h"

#include <windows.h>
// After windows.h, whose types they use: RtlGenRandom, and security descriptors from text.
#include <ntsecapi.h>
#include <sddl.h>

#include <algorithm>
#include <cwchar>
#include <memory>

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/Path.h"
#include "common/Stream.h"
#include "common/WideText.h"
#include "common/WinHandle.h"
#include "shell/Rights.h"

namespace {

constexpr char BatchFileName[] = "Uninstall.bat";
// ERROR_STOPPED_ON_SYMLINK ("The create operation stopped after reaching a symbolic link"),
// which mingw's headers lack.
constexpr DWORD ErrorStoppedOnLink = 681;

// A folder from one of the GetXxxDirectoryA calls, without a trailing backslash; empty when
// the call fails.
template <typename TCall> std::string SystemPath(TCall call) {
    char buffer[MAX_PATH];
    const UINT length = call(buffer, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::string() : ExcludeDelimiter(std::string(buffer, length));
}

// True when no folder on the way to path, below its drive's root, is a reparse point (a
// junction, a symbolic link, a mounted volume). GetFileAttributesA describes a reparse point
// itself rather than its target.
bool HasNoReparsePoint(const std::string& path) {
    if (path.size() < 3 || path[1] != ':' || path[2] != '\\')
        return false;
    for (size_t end = path.find('\\', 3);; end = path.find('\\', end + 1)) {
        const std::string folder = path.substr(0, end);
        if (folder.size() > 3) {
            const DWORD attributes = ::GetFileAttributesA(folder.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
                return false;
        }
        if (end == std::string::npos)
            return true;
    }
}

// 32 hexadecimal digits from the system's cryptographic random number generator
// (RtlGenRandom, exported by advapi32 as SystemFunction036); empty if it fails. A name that
// others could work out in advance is one they could take first.
std::string RandomName() {
    unsigned char bytes[16];
    if (!::SystemFunction036(bytes, sizeof bytes))
        return std::string();
    static const char digits[] = "0123456789abcdef";
    std::string name;
    for (unsigned char byte : bytes) {
        name += digits[byte >> 4];
        name += digits[byte & 15];
    }
    return name;
}

[[noreturn]] void ThrowCreateError(const std::string& path, DWORD error) {
    throw EFCreateError(path, SystemErrorMessage(static_cast<int>(error)));
}

// Creates a folder with a name never used before below parent and returns its path, without a
// trailing backslash. With administrator rights its access list grants access to
// Administrators and the system account only, and is protected from inheriting the parent's
// entries: no process of the user's own (which runs without the rights) may add, change or
// remove anything in it, while the command processor running as administrator reads the batch
// file from it. Wine keeps no access lists on files (it only narrows the Unix permissions),
// so under Wine the list cannot be seen to work, nor the Temp folder's own; the folder is
// created all the same.
std::string CreateBatchFolder(const std::string& parent, bool administrator) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (administrator && !::ConvertStringSecurityDescriptorToSecurityDescriptorA(
                             "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", SDDL_REVISION_1, &descriptor, nullptr))
        ThrowCreateError(parent + BatchFolderPrefix, ::GetLastError());
    std::unique_ptr<void, HLOCAL(WINAPI*)(HLOCAL)> descriptorHolder(descriptor, ::LocalFree);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    // CreateDirectoryA never opens what exists: a name taken by anything (a folder, a file, a
    // link someone planted) fails with ERROR_ALREADY_EXISTS, and another name is drawn.
    for (int attempt = 0;; ++attempt) {
        const std::string name = RandomName();
        if (name.empty())
            ThrowCreateError(parent + BatchFolderPrefix, ::GetLastError());
        const std::string folder = parent + BatchFolderPrefix + name;
        if (::CreateDirectoryA(folder.c_str(), descriptor ? &attributes : nullptr))
            return folder;
        const DWORD error = ::GetLastError();
        if (error != ERROR_ALREADY_EXISTS || attempt == 9)
            ThrowCreateError(folder, error);
    }
}

// Opens the new folder itself, never a reparse point in its place, without sharing the right
// to delete: as long as the handle is open nobody can rename the folder or put another one in
// its place. Empty when the path is not a plain folder (any more).
UniqueFile HoldFolder(const std::string& folder) {
    UniqueFile handle(::CreateFileA(folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!handle || !::GetFileInformationByHandle(handle.Get(), &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return UniqueFile();
    return handle;
}

// This process's environment block with variables set (replacing any of the same name, which
// Windows compares without regard to case), in UTF-16 as CreateProcessW takes it: each
// "name=value" ended by a NUL, the block by another. Entries whose name starts with "=" (the
// current folders of drives) are kept like any other.
std::wstring EnvironmentWith(const std::vector<std::pair<std::string, std::string>>& variables) {
    std::vector<std::wstring> names;
    std::wstring block;
    for (const auto& [name, value] : variables) {
        names.push_back(ToWide(name) + L"=");
        block += names.back() + ToWide(value) + L'\0';
    }
    const std::unique_ptr<wchar_t, BOOL(WINAPI*)(LPWCH)> own(::GetEnvironmentStringsW(),
                                                             ::FreeEnvironmentStringsW);
    for (const wchar_t* entry = own.get(); entry && *entry; entry += std::wcslen(entry) + 1) {
        const bool replaced = std::any_of(names.begin(), names.end(), [entry](const std::wstring& name) {
            return ::_wcsnicmp(entry, name.c_str(), name.size()) == 0;
        });
        if (!replaced)
            block.append(entry).push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

} // namespace

std::string BatchFolderParent() {
    if (IsElevatedAdministrator()) {
        // Not the user's folder for temporary files: every process of the user may change
        // what is in it (rename our folder, put a link in its place) and the user chooses
        // where it is (TEMP in the user's own environment). The Temp folder of Windows lets
        // users add entries but neither list, rename nor delete those of others; it is the
        // shared one even on a terminal server, where GetWindowsDirectoryA is per user.
        const std::string windows = SystemPath(::GetSystemWindowsDirectoryA);
        return windows.empty() ? std::string() : windows + "\\Temp\\";
    }
    const std::string temp = TempDirectory();
    return temp.empty() ? "C:\\" : IncludeDelimiter(temp);
}

void TUninstaller::RemoveSelf(int attempts) {
    const bool administrator = IsElevatedAdministrator();
    const std::string parent = BatchFolderParent();
    // The command processor and the programs the batch file starts are named by their full
    // path in the system folder: a name alone would be looked up in the current folder and
    // along PATH, which the user's own environment extends.
    const std::string systemFolder = SystemPath(::GetSystemDirectoryA);
    if (parent.empty() || systemFolder.empty())
        ThrowCreateError(parent + BatchFolderPrefix, ::GetLastError());
    if (administrator && !HasNoReparsePoint(ExcludeDelimiter(parent)))
        ThrowCreateError(parent + BatchFolderPrefix, ErrorStoppedOnLink);
    const std::string folder = CreateBatchFolder(parent, administrator);
    UniqueFile heldFolder = HoldFolder(folder);
    if (!heldFolder) {
        ::RemoveDirectoryA(folder.c_str());
        ThrowCreateError(folder, ErrorStoppedOnLink);
    }
    BatchFile = folder + "\\" + BatchFileName;
    const TRemoveSelfBatch batch =
        BuildRemoveSelfBatch(ExecutablePath, DeferredFolders, BatchFile, systemFolder, attempts);
    {
        // CREATE_NEW: the folder is new, and nothing that appeared in it is opened.
        UniqueFile file(::CreateFileA(BatchFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file ||
            !::WriteFile(file.Get(), batch.Text.data(), static_cast<DWORD>(batch.Text.size()), &written,
                         nullptr) ||
            written != batch.Text.size()) {
            const DWORD error = ::GetLastError();
            file.Reset();
            heldFolder.Reset();
            ::DeleteFileA(BatchFile.c_str());
            ::RemoveDirectoryA(folder.c_str());
            ThrowCreateError(BatchFile, error);
        }
    }
    // Started directly, never through the shell: opening a .bat file runs whatever command
    // the file type names, and HKEY_CURRENT_USER\Software\Classes lets every process of the
    // user name another one for the user; it would run with our rights. The user's own key
    // of the command processor may also name AutoRun commands (/d skips them) and switch its
    // command extensions off or delayed expansion on (/e:on and /v:off set them for this
    // run). /s /c "..." runs exactly the text between the outer quotes.
    // Its current folder is the system folder: started without one it would inherit ours,
    // which may be the program's folder (Explorer starts a program in its own folder), and
    // Windows refuses to remove a folder that is some process's current folder. Nor the batch
    // folder: under Wine the host of the hidden console starts there and keeps it until the
    // command processor has ended.
    // No window: CREATE_NO_WINDOW gives the console program a console that is never shown.
    // The paths travel in the command processor's environment: ours with the batch file's
    // variables added, given in UTF-16, so that they arrive exactly as we know them whatever
    // the code pages of the program and the console.
    const std::string commandProcessor = systemFolder + "\\cmd.exe";
    std::wstring commandLine =
        ToWide("\"" + commandProcessor + "\" /d /e:on /v:off /s /c \"" + batch.Command + "\"");
    std::wstring environment = EnvironmentWith(batch.Variables);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(ToWide(commandProcessor).c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT, environment.data(),
                          ToWide(systemFolder).c_str(), &startup, &process)) {
        // Nobody is left to tell; the uninstaller stays and the batch file goes.
        heldFolder.Reset();
        ::DeleteFileA(BatchFile.c_str());
        ::RemoveDirectoryA(folder.c_str());
        return;
    }
    UniqueHandle thread(process.hThread), started(process.hProcess);
}

TRemoveSelfBatch BuildRemoveSelfBatch(const std::string& executablePath,
                                      const std::vector<std::string>& deferredFolders,
                                      const std::string& batchFile, const std::string& systemFolder,
                                      int attempts) {
    // The command processor reads a batch file in the console's code page (the OEM one, or
    // whatever "chcp" chose), not in the ANSI code page that our paths are in, so a path with
    // "\xFC" in it would name another file. The text therefore holds no path at all: the paths
    // travel in environment variables. In quotes, an expanded value is taken literally: "&",
    // "^" and parentheses in a folder name need no escaping.
    TRemoveSelfBatch batch;
    batch.Variables.emplace_back("SetupUninstProgram", executablePath);
    batch.Variables.emplace_back("SetupUninstSystem", ExcludeDelimiter(systemFolder));
    batch.Variables.emplace_back("SetupUninstBatchFolder", ExcludeDelimiter(FileFolder(batchFile)));
    std::vector<std::string> folderNames;
    for (size_t i = 0; i < deferredFolders.size(); ++i) {
        folderNames.push_back("SetupUninstFolder" + std::to_string(i + 1));
        batch.Variables.emplace_back(folderNames.back(), ExcludeDelimiter(deferredFolders[i]));
    }
    // Windows expands a value once, with %NAME% as with !NAME!. Wine's command processor
    // expands the expanded text again: "%" in a value is lost with %NAME%, "!" with !NAME!.
    // A path with "%" therefore uses delayed expansion, any other the plain one, which also
    // keeps a "!" (delayed expansion can be switched on for every command processor in the
    // registry, so the batch chooses for itself).
    bool delayed = false;
    for (const auto& variable : batch.Variables)
        delayed = delayed || variable.second.find('%') != std::string::npos;
    const auto value = [delayed](const std::string& name) {
        return delayed ? "\"!" + name + "!\"" : "\"%" + name + "%\"";
    };
    std::string text = "@echo off\r\n";
    text += delayed ? "setlocal EnableDelayedExpansion\r\n" : "setlocal DisableDelayedExpansion\r\n";
    text += "set SetupUninstAttempt=0\r\n"
            ":Repeat\r\n";
    // A folder, or a link to one, put in the uninstaller's place once it has ended (Windows
    // lets a running program be renamed) is no uninstaller: "del" would delete the files
    // inside it. "*" below a folder always finds its "." entry; below a file, nothing. A link
    // to a file is deleted as a link.
    text += "if exist " +
            (delayed ? std::string("\"!SetupUninstProgram!\\*\"") : "\"%SetupUninstProgram%\\*\"") +
            " goto Removed\r\n";
    // /f: a read-only uninstaller is deleted too.
    text += "del /f /q " + value("SetupUninstProgram") + " >nul 2>nul\r\n";
    text += "if not exist " + value("SetupUninstProgram") + " goto Removed\r\n";
    // Bounded: a file that stays (held open by another program, denied to us) must not keep
    // a hidden process looping for ever.
    text += "set /a SetupUninstAttempt+=1\r\n"
            "if %SetupUninstAttempt% geq " +
            std::to_string(attempts) + " goto Removed\r\n";
    // About a second: the second echo request goes out a second after the first. The command
    // processor has no pause of its own that works without console input. By its full path:
    // a bare "ping" would be looked up in the current folder and along PATH, which the
    // user's environment extends.
    text += "\"%SetupUninstSystem%\\ping.exe\" -n 2 127.0.0.1 >nul\r\n"
            "goto Repeat\r\n"
            ":Removed\r\n";
    for (const std::string& name : folderNames)
        text += "rd " + value(name) + " 2>nul\r\n";
    batch.Text = std::move(text);
    // The batch file and its folder go once the batch file has ended, from the command line
    // that ran it: Windows' command processor opens the file again for every line, but Wine's
    // keeps it open to the end, and a file still open is only marked for deletion and keeps
    // its folder from being removed.
    // The command line is expanded like a batch line, and "call" expands it once more: the
    // system folder and a batch folder in Windows' Temp folder hold no "%"; one in a user's
    // temporary-files folder whose path has a pair of "%" in it may name another file, which
    // then is not found.
    batch.Command = "call \"" + batchFile + "\" & del \"%SetupUninstBatchFolder%\\" + BatchFileName +
                    "\" & rd \"%SetupUninstBatchFolder%\"";
    return batch;
}
