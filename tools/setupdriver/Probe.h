// What the driver learns from inside the program under test. A window's font handle and the
// process's resolution awareness mean nothing in another process (GDI handles belong to the
// process that made them), so the driver hooks the program's user-interface thread with
// setupprobe.dll: the hook runs in the program, answers one posted probe message and writes
// the answer into a named shared block that the driver created and reads.
#pragma once

#include <windows.h>

// The posted message: wParam is the driver's process id (which names the shared block),
// lParam the control whose font is wanted (or null).
constexpr const char* ProbeMessageName = "SetupDriverProbe";
// The hook procedure's exported name (a WH_GETMESSAGE hook).
constexpr const char* ProbeHookName = "ProbeHook";
constexpr const char* ProbeDllName = "setupprobe.dll";

struct TProbeAnswer {
    LONG Done;          // set to 1 last, when the rest is written
    LOGFONTA Font;      // the control's font (the system font when it has none set)
    BOOL HasOwnFont;    // WM_GETFONT returned a font
    int Points;         // the font's height in whole points at PixelsPerInch
    int PixelsPerInch;  // the screen's vertical resolution as the program sees it
    int DpiAware;       // IsProcessDPIAware: 1, 0, or -1 when the system lacks it
    DWORD MajorVersion; // GetVersionExA in the program
    DWORD MinorVersion;
};

// The name of the shared block of the driver with that process id.
inline void ProbeBlockName(DWORD driverProcessId, char (&name)[64]) {
    wsprintfA(name, "SetupDriverProbe-%lu", driverProcessId);
}
