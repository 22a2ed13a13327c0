// A product library for [CallLibraries]: two procedures without parameters in the standard
// calling convention, exported under their plain names (linked with --kill-at), each noting
// its call through the library beside it.

#include <windows.h>

extern "C" __declspec(dllimport) void NoteCall(const char* name);

extern "C" __declspec(dllexport) void WINAPI RegisterComponents() {
    NoteCall("RegisterComponents");
}

extern "C" __declspec(dllexport) void WINAPI RegisterPresets() {
    NoteCall("RegisterPresets");
}
