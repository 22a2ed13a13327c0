// setupprobe.dll: loaded by the system into the program under test when the driver hooks
// its user-interface thread (see Probe.h). Everything here runs in that program.
#include "tools/setupdriver/Probe.h"

#include "common/WinHandle.h"

namespace {

template <typename TFunction> TFunction* User32Function(const char* name) {
    return reinterpret_cast<TFunction*>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), name)));
}

// Whether the program declared itself aware of the resolution (its manifest or a call of
// SetProcessDPIAware): 1 or 0, -1 when the system cannot tell. IsProcessDPIAware alone does
// not tell it: setting the awareness fails with ERROR_ACCESS_DENIED once it has been
// declared, and when it succeeds nothing was declared and the program is now unaware, as
// Windows starts it. Windows 10 has that call; before it IsProcessDPIAware (Windows 6)
// answers, and older systems cannot declare at all. Wine is not Windows here: it starts
// every program aware of each monitor's resolution and refuses any change, so under Wine
// the answer is always 1.
int DeclaredDpiAware() {
    using TSetContext = BOOL WINAPI(HANDLE);
    using TIsAware = BOOL WINAPI();
    auto isAware = User32Function<TIsAware>("IsProcessDPIAware");
    if (auto setContext = User32Function<TSetContext>("SetProcessDpiAwarenessContext")) {
        const HANDLE unaware = reinterpret_cast<HANDLE>(-1); // DPI_AWARENESS_CONTEXT_UNAWARE
        if (setContext(unaware))
            return 0;
        if (::GetLastError() != ERROR_ACCESS_DENIED)
            return -1;
    }
    return isAware ? (isAware() ? 1 : 0) : -1;
}

void Answer(DWORD driverProcessId, HWND control) {
    char name[64];
    ProbeBlockName(driverProcessId, name);
    const UniqueHandle block(::OpenFileMappingA(FILE_MAP_WRITE, FALSE, name));
    const UniqueFileView view(block ? ::MapViewOfFile(block.Get(), FILE_MAP_WRITE, 0, 0, sizeof(TProbeAnswer))
                                    : nullptr);
    if (!view)
        return;
    auto* answer = static_cast<TProbeAnswer*>(view.Get());
    // A control without a font of its own draws with the system font.
    HFONT font = control ? reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0)) : nullptr;
    answer->HasOwnFont = font != nullptr;
    if (!font)
        font = static_cast<HFONT>(::GetStockObject(SYSTEM_FONT));
    ::GetObjectA(font, sizeof answer->Font, &answer->Font);
    const TWindowDc screen(nullptr);
    answer->PixelsPerInch = ::GetDeviceCaps(screen.Get(), LOGPIXELSY);
    LONG height = answer->Font.lfHeight;
    if (height > 0) {
        // A positive height is the cell height; the character height leaves out the
        // internal leading, which only a font selected into a device context tells.
        const TSelectObject selected(screen.Get(), font);
        TEXTMETRICA metrics = {};
        ::GetTextMetricsA(screen.Get(), &metrics);
        height = metrics.tmHeight - metrics.tmInternalLeading;
    }
    answer->Points = ::MulDiv(height < 0 ? -height : height, 72, answer->PixelsPerInch);
    answer->DpiAware = DeclaredDpiAware();
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    ::GetVersionExA(&version);
    answer->MajorVersion = version.dwMajorVersion;
    answer->MinorVersion = version.dwMinorVersion;
    ::InterlockedExchange(&answer->Done, 1);
}

} // namespace

// WH_GETMESSAGE: called in the hooked thread for each message it takes from its queue.
extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeHook(int code, WPARAM removed, LPARAM data) {
    static const UINT probeMessage = ::RegisterWindowMessageA(ProbeMessageName);
    auto* message = reinterpret_cast<MSG*>(data);
    if (code == HC_ACTION && removed == PM_REMOVE && message->message == probeMessage) {
        Answer(static_cast<DWORD>(message->wParam), reinterpret_cast<HWND>(message->lParam));
        // The program's window never sees the probe.
        message->message = WM_NULL;
    }
    return ::CallNextHookEx(nullptr, code, removed, data);
}
