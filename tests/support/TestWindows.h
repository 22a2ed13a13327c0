// Windows-only helpers for tests in the test's own process: what a window says of itself, the
// message dialog that a modal loop of the calling thread shows, and what a shortcut file holds.
#pragma once

#include <windows.h>

#include <string>

std::string ClassOf(HWND window);
std::string TextOf(HWND window);

// A drive ("Q:") that names no drive of this machine (the Wine prefix); throws when every
// letter is taken.
std::string UnusedDrive();

// The visible dialog (class "#32770") of a thread, the calling one by default; null when none is
// up.
HWND FindThreadDialog(DWORD thread = ::GetCurrentThreadId());

// What a shortcut file holds, read through the shell link object itself rather than the
// product's own reader. Needs the component model initialised on the thread; throws when the
// file cannot be loaded.
struct TLinkContents {
    std::string Path;
    std::string Arguments;
    std::string WorkingDirectory;
    std::string IconFile;
    int IconIndex = -1;
};
TLinkContents LoadLink(const std::string& linkFile);
