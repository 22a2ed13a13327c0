// The driver's side of the probe (Probe.h): hooks the program's user-interface thread, posts
// the probe message and waits for the answer in the shared block.
#pragma once

#include <windows.h>

#include "tools/setupdriver/Probe.h"

// What the program itself knows about control (null: only the process-wide answers) of its
// window, waiting at most timeout ms. EDriverFailure when the probe cannot be loaded or the
// program does not answer.
TProbeAnswer ProbeProgram(HWND window, HWND control, DWORD timeout);
