#include "tools/setupdriver/WindowSearch.h"

#include "tools/setupdriver/Script.h"
#include "tools/setupdriver/Wait.h"

namespace {

TControl Describe(HWND window) {
    TControl control;
    control.Handle = window;
    control.Class = ClassOf(window);
    control.Text = TextOf(window);
    control.Id = static_cast<int>(::GetDlgCtrlID(window));
    control.Visible = ::IsWindowVisible(window) != FALSE;
    control.Enabled = ::IsWindowEnabled(window) != FALSE;
    return control;
}

struct TWindowSearch {
    DWORD ProcessId;
    std::vector<HWND> Found;
};

BOOL CALLBACK CollectTopLevelWindow(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<TWindowSearch*>(data);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search.ProcessId && ::IsWindowVisible(window))
        search.Found.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChildWindow(HWND child, LPARAM data) {
    reinterpret_cast<std::vector<HWND>*>(data)->push_back(child);
    return TRUE;
}

std::string DescribeLine(const TControl& control) {
    return control.Class + " #" + std::to_string(control.Id) + " " + QuoteWord(control.Text) +
           (control.Visible ? "" : " [hidden]") + (control.Enabled ? "" : " [disabled]");
}

} // namespace

std::string ClassOf(HWND window) {
    char name[256] = {};
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

// WM_GETTEXT is marshalled across processes by the system (GetWindowText would return only
// captions there); the timeout keeps a busy program from blocking the driver.
std::string TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, MessageTimeout, &length))
        return "";
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                               SMTO_ABORTIFHUNG, MessageTimeout, &copied))
        return "";
    text.resize(copied);
    return text;
}

std::vector<HWND> TopLevelWindows(DWORD processId) {
    TWindowSearch search{processId, {}};
    ::EnumWindows(CollectTopLevelWindow, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

std::vector<HWND> ChildWindows(HWND window) {
    std::vector<HWND> handles;
    ::EnumChildWindows(window, CollectChildWindow, reinterpret_cast<LPARAM>(&handles));
    return handles;
}

std::vector<TControl> Controls(HWND window) {
    std::vector<TControl> controls;
    for (HWND handle : ChildWindows(window))
        controls.push_back(Describe(handle));
    return controls;
}

bool IsButtonClass(const std::string& name) {
    return _stricmp(name.c_str(), "Button") == 0;
}

std::string WithoutMnemonics(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        result += text[i];
    }
    return result;
}

std::string DumpWindow(HWND window) {
    std::string text = "window " + QuoteWord(TextOf(window)) + " class " + ClassOf(window) + "\n";
    for (const TControl& c : Controls(window))
        text += "  " + DescribeLine(c) + "\n";
    return text;
}
