#include "tools/setupdriver/ProbeClient.h"

#include <cstring>
#include <string>

#include "common/WinHandle.h"
#include "tools/setupdriver/Wait.h"

TProbeAnswer ProbeProgram(HWND window, HWND control, DWORD timeout) {
    char path[MAX_PATH] = {};
    std::string dll(path, ::GetModuleFileNameA(nullptr, path, MAX_PATH));
    dll = dll.substr(0, dll.find_last_of("\\/") + 1) + ProbeDllName;
    UniqueModule probe(::LoadLibraryA(dll.c_str()));
    auto hook = probe ? reinterpret_cast<HOOKPROC>(
                            reinterpret_cast<void*>(::GetProcAddress(probe.Get(), ProbeHookName)))
                      : nullptr;
    if (!hook)
        throw EDriverFailure("cannot load the probe " + dll);
    char name[64];
    ProbeBlockName(::GetCurrentProcessId(), name);
    UniqueHandle block(
        ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(TProbeAnswer), name));
    UniqueFileView view(block ? ::MapViewOfFile(block.Get(), FILE_MAP_WRITE, 0, 0, sizeof(TProbeAnswer))
                              : nullptr);
    if (!view)
        throw EDriverFailure("cannot create the probe's shared block");
    auto* answer = static_cast<volatile TProbeAnswer*>(view.Get());
    answer->Done = 0;
    // The system loads the probe into the program when the hooked thread next takes a
    // message from its queue; the posted probe message is that message.
    UniqueHook hooked(
        ::SetWindowsHookExA(WH_GETMESSAGE, hook, probe.Get(), ::GetWindowThreadProcessId(window, nullptr)));
    if (!hooked)
        throw EDriverFailure("cannot hook the program: error " + std::to_string(::GetLastError()));
    static const UINT message = ::RegisterWindowMessageA(ProbeMessageName);
    ::PostMessageA(window, message, ::GetCurrentProcessId(), reinterpret_cast<LPARAM>(control));
    WaitFor(
        timeout, [&] { return answer->Done != 0; },
        [&] { return std::string("the program did not answer the probe"); });
    TProbeAnswer result;
    std::memcpy(&result, view.Get(), sizeof result);
    return result;
}
