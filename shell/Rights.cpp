#include "shell/Rights.h"

#include "common/Path.h"
#include "common/Registry.h"
#include "shell/ShellUtils.h"

bool ProbeAdminRights(const std::string& programFilesFolder, HKEY root, const char* keyPath) {
    // A drive root keeps its backslash in the shell's answer ("C:\"); the probe folders are
    // joined with one of their own.
    const std::string base = ExcludeDelimiter(programFilesFolder);
    // Creating a folder is what the installation will do there. A name that is taken (by a
    // folder or a file) is left alone and the next number tried; any other refusal (access
    // denied, a path that is not a folder) means the user lacks the rights.
    for (unsigned n = 0;; ++n) {
        std::string folder = base + "\\Test" + std::to_string(n);
        if (::CreateDirectoryA(folder.c_str(), nullptr)) {
            ::RemoveDirectoryA(folder.c_str());
            break;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    // Full access to the machine's software key: what writing the product's registry entries
    // and its uninstall registration needs.
    return static_cast<bool>(CreateKey(root, keyPath));
}

bool HasAdminRights() {
    return ProbeAdminRights(GetProgramFilesFolder(), HKEY_LOCAL_MACHINE, "SOFTWARE");
}

// Administrator rights count only when the Administrators group is enabled in the process's
// token: under User Account Control an administrator's programs that were not elevated carry
// the group for denying access only. A program run by the system account has it enabled too.
bool IsElevatedAdministrator() {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    BOOL member = FALSE;
    return ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size) &&
           ::CheckTokenMembership(nullptr, sid, &member) && member;
}
