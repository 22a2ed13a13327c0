// The two questions the program asks about the user's rights, which are not the same:
//
// HasAdminRights: may this user install for the whole machine? Asked by doing what an
// installation does: creating a folder in Program Files and opening the machine's software key
// with full access. Administrators and power users pass; so does a program that Windows lets
// write there by other means. The wizard asks it before it installs, the uninstaller before it
// removes anything.
//
// IsElevatedAdministrator: does this process hold the Administrators group, enabled, in its
// token? Only an administrator's elevated program (or one of the system account) does; a power
// user never. The uninstall engine asks it to choose where its self-removal batch file may go
// safely.
//
// Windows only.
#pragma once

#include <windows.h>

#include <string>

bool HasAdminRights();

// The probe of HasAdminRights, against the given Program Files folder and machine key (tests
// point it at folders and keys of their own). It creates and removes programFilesFolder\Test0,
// or Test1 when Test0 exists, and so on, leaving folders and files of those names alone; then
// it opens (creating when missing) keyPath below root with full access and closes it again.
bool ProbeAdminRights(const std::string& programFilesFolder, HKEY root, const char* keyPath);

bool IsElevatedAdministrator();
