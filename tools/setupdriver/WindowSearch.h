// The program's windows as the driver sees them from outside: its visible top-level windows,
// their controls with class, text, id and state, and the text dumps that failures show.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TControl {
    HWND Handle = nullptr;
    std::string Class;
    std::string Text;
    int Id = 0;
    bool Visible = false;
    bool Enabled = false;
};

std::string ClassOf(HWND window);
// The text of a window of another process (empty when it does not answer in time).
std::string TextOf(HWND window);
// Visible top-level windows (message boxes included) of one process.
std::vector<HWND> TopLevelWindows(DWORD processId);
// Every descendant of a window, in the system's order (depth first).
std::vector<HWND> ChildWindows(HWND window);
// The same with what each one shows.
std::vector<TControl> Controls(HWND window);

bool IsButtonClass(const std::string& name);
// A caption without its "&" mnemonic markers.
std::string WithoutMnemonics(const std::string& text);
// A window's caption and class, then one line per control.
std::string DumpWindow(HWND window);
