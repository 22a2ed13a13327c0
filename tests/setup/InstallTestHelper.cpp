// A library that a product library needs: the installation run must find it beside the
// product library, although the setup program limits the search for libraries to the system
// folder. It notes each call in Calls.txt beside itself, one name per line.

#include <windows.h>

#include <string>

#include "common/WinHandle.h"

extern "C" __declspec(dllexport) void NoteCall(const char* name) {
    HMODULE self = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&NoteCall), &self);
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(self, path, MAX_PATH);
    std::string file = path;
    file = file.substr(0, file.find_last_of('\\') + 1) + "Calls.txt";

    UniqueFile calls(::CreateFileA(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!calls)
        return;
    const std::string line = std::string(name) + "\r\n";
    DWORD written = 0;
    ::WriteFile(calls.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}
