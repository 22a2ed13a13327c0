// The message dialog in the test's own process under Wine: how it shares the application
// with other windows (disabled while it is up, enabled again afterwards), where Enter goes,
// and how its text is laid out. The dialog is inspected and answered from a thread timer,
// which its modal loop dispatches.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>

#include "common/WinHandle.h"
#include "messages/Strings.h"
#include "tests/support/TestWindows.h"
#include "ui/MessageDialog.h"

namespace {

// What the timer does once the dialog is up; it ends the dialog with Escape's command.
std::function<void(HWND dialog)> Inspect;
bool Inspected = false;

void CALLBACK OnTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindThreadDialog();
    if (!dialog)
        return;
    ::KillTimer(nullptr, timer);
    Inspected = true;
    Inspect(dialog);
    ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

TMessageResult ShowAndInspect(const std::string& text, TMessageKind kind,
                              const std::function<void(HWND)>& inspect) {
    Inspect = inspect;
    Inspected = false;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 20, OnTimer);
    TMessageResult result = ShowMessage(text, kind);
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(Inspected) << "the dialog did not appear";
    return result;
}

UniqueWindow MakeWindow(const char* caption, int left) {
    HWND window = ::CreateWindowExA(0, "STATIC", caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, left, 50, 200,
                                    100, nullptr, nullptr, nullptr, nullptr);
    return UniqueWindow(window);
}

RECT ScreenRect(HWND window) {
    RECT rect;
    ::GetWindowRect(window, &rect);
    return rect;
}

TEST(MessageDialog, OtherWindowsRefuseInputWhileItIsUp) {
    UniqueWindow main = MakeWindow("Main", 10);
    UniqueWindow second = MakeWindow("Second", 300);
    UniqueWindow disabled = MakeWindow("Disabled", 600);
    ::EnableWindow(disabled.Get(), FALSE);
    ::SetActiveWindow(main.Get());

    ShowAndInspect("Text", mkWarning, [&](HWND dialog) {
        EXPECT_FALSE(::IsWindowEnabled(main.Get()));
        EXPECT_FALSE(::IsWindowEnabled(second.Get()));
        EXPECT_TRUE(::IsWindowEnabled(dialog));
        // It belongs to the active window, so that it stays above it.
        EXPECT_EQ(::GetWindow(dialog, GW_OWNER), main.Get());
    });
    EXPECT_TRUE(::IsWindowEnabled(main.Get()));
    EXPECT_TRUE(::IsWindowEnabled(second.Get()));
    // A window that was disabled before is not enabled by the dialog.
    EXPECT_FALSE(::IsWindowEnabled(disabled.Get()));
}

TEST(MessageDialog, EscapeAnswersNoOnAConfirmationAndOkOtherwise) {
    const struct {
        TMessageKind Kind;
        TMessageResult Answer;
        int DefaultButton;
    } cases[] = {
        {mkConfirmation, mrNo, IDYES},
        {mkWarning, mrOK, IDOK},
        {mkInformation, mrOK, IDOK},
        {mkError, mrOK, IDOK},
    };
    for (const auto& c : cases) {
        TMessageResult answer = ShowAndInspect("Text", c.Kind, [&](HWND dialog) {
            EXPECT_EQ(LOWORD(::SendMessageA(dialog, DM_GETDEFID, 0, 0)), c.DefaultButton) << c.Kind;
            EXPECT_EQ(::GetFocus(), ::GetDlgItem(dialog, c.DefaultButton)) << c.Kind;
        });
        EXPECT_EQ(answer, c.Answer) << c.Kind;
    }
}

TEST(MessageDialog, TextKeepsItsLinesAndTheDialogFitsTheScreen) {
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const std::string longLine = [] {
        std::string text;
        for (int i = 0; i < 150; ++i)
            text += "word ";
        return text + "end";
    }();
    const struct {
        std::string Text;
        int Lines; // at least this many lines of text
    } cases[] = {
        {"One line", 1},
        {LoadMessage(msUninstallPartial), 4},
        {LoadMessage(msInstallElsewhere), 5},
        {longLine, 3}, // wrapped at the dialog's widest
    };
    for (const auto& c : cases) {
        ShowAndInspect(c.Text, mkInformation, [&](HWND dialog) {
            HWND text = nullptr;
            for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
                if (ClassOf(child) == "Static" && ::GetWindowTextLengthA(child) > 0)
                    text = child;
            }
            ASSERT_NE(text, nullptr);
            HDC dc = ::GetDC(text);
            HGDIOBJ previous =
                ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(text, WM_GETFONT, 0, 0)));
            TEXTMETRICA metrics;
            ::GetTextMetricsA(dc, &metrics);
            ::SelectObject(dc, previous);
            ::ReleaseDC(text, dc);

            const RECT textRect = ScreenRect(text);
            const RECT dialogRect = ScreenRect(dialog);
            const RECT button = ScreenRect(::GetDlgItem(dialog, IDOK));
            EXPECT_GE(textRect.bottom - textRect.top, c.Lines * metrics.tmHeight) << c.Text;
            EXPECT_GE(button.top, textRect.bottom) << c.Text;
            EXPECT_GE(dialogRect.left, work.left) << c.Text;
            EXPECT_LE(dialogRect.right, work.right) << c.Text;
            // Centred on the work area.
            EXPECT_LE(std::abs((dialogRect.left - work.left) - (work.right - dialogRect.right)), 1) << c.Text;
            EXPECT_LE(std::abs((dialogRect.top - work.top) - (work.bottom - dialogRect.bottom)), 1) << c.Text;
        });
    }
}

} // namespace
