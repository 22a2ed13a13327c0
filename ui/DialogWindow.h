// A dialog window as a C++ object: the one dialog procedure of the program's dialogs (the
// wizard form and the message dialogs), which finds its object T from the window's user data
// and forwards to it. Windows only.
//
// T provides, reachable from this base (public or through friendship):
//   INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);  // WM_INITDIALOG too
//   void OnUnexpectedError(const char* message);  // an exception left HandleMessage
// and may provide void OnWindowDestroyed() (WM_NCDESTROY, after which Window is empty).
#pragma once

#include <windows.h>

#include <exception>

#include "common/WinHandle.h"

// An in-memory dialog template without controls, for dialogs that create their controls
// themselves. The dialog class still gives them the dialog manager's keyboard handling (Tab
// order, the default push button, Escape, accelerators) and the button-face background. A
// template holds only Unicode text, so the caption is set once the window exists.
struct alignas(4) TEmptyDialogTemplate { // templates must start on a DWORD boundary
    DLGTEMPLATE Header;
    WORD Menu;
    WORD WindowClass;
    WORD Title;
};

template <typename T>
class TDialogWindow {
public:
    HWND Handle() const { return Window.Get(); }

protected:
    TDialogWindow() = default;
    ~TDialogWindow() = default;
    TDialogWindow(const TDialogWindow&) = delete;
    TDialogWindow& operator=(const TDialogWindow&) = delete;

    // The window, destroyed with the object when it is still there. A modal dialog's window is
    // destroyed by EndDialog, and its WM_NCDESTROY leaves this empty.
    UniqueWindow Window;

    void OnWindowDestroyed() {}

    // Pass to CreateDialogIndirectParam / DialogBoxIndirectParam with the T object as the
    // parameter.
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        if (message == WM_INITDIALOG) {
            ::SetWindowLongPtrA(window, DWLP_USER, lParam);
            static_cast<TDialogWindow*>(reinterpret_cast<T*>(lParam))->Window.Reset(window);
        }
        auto* self = reinterpret_cast<T*>(::GetWindowLongPtrA(window, DWLP_USER));
        if (!self)
            return FALSE; // messages before WM_INITDIALOG (WM_SETFONT, WM_NCCREATE ...)
        if (message == WM_NCDESTROY) {
            ::SetWindowLongPtrA(window, DWLP_USER, 0);
            static_cast<TDialogWindow*>(self)->Window.Release();
            self->OnWindowDestroyed();
            return FALSE;
        }
        // Nothing may unwind through the system's code that called us.
        try {
            return self->HandleMessage(message, wParam, lParam);
        } catch (const std::exception& error) {
            self->OnUnexpectedError(error.what());
        } catch (...) {
            self->OnUnexpectedError("Unexpected error");
        }
        return TRUE;
    }
};
