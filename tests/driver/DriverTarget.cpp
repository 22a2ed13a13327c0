// A small window for the driver's own tests: an edit box, a check box, push buttons (one
// disabled), a hidden label and a label that shows what Apply saw. Close ends the program
// with exit code 3; Message shows a warning message box.
#include <windows.h>

#include <string>

namespace {

enum : int { IdName = 101, IdRemember, IdApply, IdResult, IdDisabled, IdClose, IdHidden, IdMessage };

class TTargetWindow {
public:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        if (message == WM_NCCREATE)
            ::SetWindowLongPtrA(
                window, GWLP_USERDATA,
                reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        auto* self = reinterpret_cast<TTargetWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self && message == WM_CREATE)
            self->Create(window);
        if (self && message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED)
            self->Clicked(LOWORD(wParam));
        if (message == WM_DESTROY)
            ::PostQuitMessage(0);
        return ::DefWindowProcA(window, message, wParam, lParam);
    }

private:
    HWND Window = nullptr;

    void Add(const char* className, const char* text, DWORD style, int id, int x, int y, int width) {
        ::CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, 24, Window,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }
    void Create(HWND window) {
        Window = window;
        Add("STATIC", "Name:", 0, -1, 10, 10, 60);
        Add("EDIT", "", WS_BORDER | ES_AUTOHSCROLL, IdName, 80, 10, 200);
        Add("BUTTON", "&Remember", BS_AUTOCHECKBOX, IdRemember, 10, 40, 150);
        Add("BUTTON", "&Apply", BS_DEFPUSHBUTTON, IdApply, 10, 70, 90);
        Add("BUTTON", "Disabled", BS_PUSHBUTTON | WS_DISABLED, IdDisabled, 110, 70, 90);
        Add("BUTTON", "&Close", BS_PUSHBUTTON, IdClose, 210, 70, 90);
        Add("BUTTON", "&Message", BS_PUSHBUTTON, IdMessage, 310, 70, 90);
        Add("STATIC", "", 0, IdResult, 10, 100, 380);
        ::CreateWindowExA(0, "STATIC", "Hidden text", WS_CHILD, 10, 130, 200, 24, Window,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdHidden)), nullptr, nullptr);
    }
    void Clicked(int id) {
        if (id == IdApply) {
            char name[256] = {};
            ::GetDlgItemTextA(Window, IdName, name, sizeof name);
            std::string result = std::string("Applied: ") + name;
            if (::IsDlgButtonChecked(Window, IdRemember) == BST_CHECKED)
                result += ", remembered";
            ::SetDlgItemTextA(Window, IdResult, result.c_str());
        } else if (id == IdClose) {
            ::ExitProcess(3);
        } else if (id == IdMessage) {
            ::MessageBoxA(Window, "Something to confirm.", "Warning", MB_OK | MB_ICONWARNING);
        }
    }
};

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = TTargetWindow::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "DriverTarget";
    ::RegisterClassA(&windowClass);
    TTargetWindow target;
    HWND window = ::CreateWindowExA(0, "DriverTarget", "Driver Target", WS_OVERLAPPEDWINDOW, 100, 100, 420,
                                    200, nullptr, nullptr, instance, &target);
    ::ShowWindow(window, show);
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return 0;
}
