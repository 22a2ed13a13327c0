// The window that shows a long step going on: a caption, a line of text and a bar, while the
// step runs on a thread of its own, so that the window answers the user throughout. The
// uninstaller shows it while it removes the product, the setup program while it checks a
// large archive. Windows only.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

#include "common/WinHandle.h"
#include "ui/DialogWindow.h"

// The bar's control identifier, for tools that read the window.
constexpr int ProgressBarId = 0x100;

// What a step reports: done of total, from its own thread.
using TProgressReport = std::function<void(size_t done, size_t total)>;

// A window titled caption, with text above a bar that work moves through its argument (done
// of total, from work's thread). It has no close box and takes no Escape: a step under way is
// not cancelled.
class TProgressWindow final : public TDialogWindow<TProgressWindow> {
public:
    TProgressWindow(const std::string& caption, const std::string& text) : Caption(caption), Text(text) {}

    // Runs work on another thread while this thread keeps the window answering, and returns
    // what work returned or raises what it raised. The window shows once work has run for
    // showAfter milliseconds (at once for 0): a step that ends sooner shows nothing. A window
    // once shown stays when Run returns, until the next window of the program becomes active
    // (it then hides) or Close. Were it destroyed first, Windows would hand the activation to
    // another program's window and keep the next one of this program from the foreground.
    // Without a window (the system out of resources) work still runs, unseen.
    bool Run(const std::function<bool(const TProgressReport& progress)>& work, DWORD showAfter = 0);
    void Close() { Window.Reset(); }

private:
    friend class TDialogWindow<TProgressWindow>;

    std::string Caption;
    std::string Text;
    UniqueGdiObject Font;
    HFONT ControlFont = nullptr;
    bool Done = false;
    // The last position posted, so that a work of many items posts at most a hundred times.
    std::atomic<int> Posted{-1};

    bool Create(DWORD showAfter);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnUnexpectedError(const char*) {}
    void Build();
    HWND AddControl(const char* className, const char* text, DWORD style, int id, const RECT& bounds);
    void Report(size_t done, size_t total);
    void Appear();
};
