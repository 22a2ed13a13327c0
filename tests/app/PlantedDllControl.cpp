// The control for the planted-DLL test: a program without any restriction of the DLL search
// that loads each name given on its command line by bare name, as system DLLs do. Beside the
// planted copies it must load them; prints the names that it loaded from its own folder.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    char own[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, own, MAX_PATH);
    char* cut = std::strrchr(own, '\\');
    if (length == 0 || !cut)
        return 2;
    cut[1] = '\0';
    for (int i = 1; i < argc; ++i) {
        HMODULE module = ::LoadLibraryA(argv[i]);
        char path[MAX_PATH] = "";
        if (module)
            ::GetModuleFileNameA(module, path, MAX_PATH);
        if (module && _strnicmp(path, own, std::strlen(own)) == 0)
            std::printf("%s\n", argv[i]);
    }
    return 0;
}
