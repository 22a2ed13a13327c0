// Program entry and mode selection. The same executable is the setup program and, copied
// into the product folder as Uninst.exe, the product's uninstaller; a flag in the reserved
// words of its own DOS header tells the two apart.
#pragma once

#include <string>

// True when the executable at path is flagged as an uninstaller: the 32-bit little-endian
// UninstallFlag at file offset 52 holds exactly 1. The file is opened for reading with
// reading and writing by others allowed; a file that cannot be opened or is shorter than
// 56 bytes raises the file layer's error.
bool IsUninstallerFile(const std::string& path);

// The same test for the running program, read from its headers as they were mapped at its
// start.
bool IsUninstaller();

// Setup mode: sets the application title to "Setup" and runs the wizard until it closes.
// Errors raised while the setup data is opened and verified, or by the installation run, are
// shown in the error box and end the program normally. Returns the process exit code.
int RunSetup();

// Uninstall mode: reads the uninstall record, sets the application title to the product name
// followed by " Uninstaller" and runs the uninstall controller (confirmation, removal, final
// message, self-removal). Errors are not caught here; they reach the top level.
void RunUninstaller();
