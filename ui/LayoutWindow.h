// The window made from the designed layout (ui/Layout.h): a dialog without a template whose
// controls are created from the layout table, scaled to the screen by one TLayoutScale and
// given their fonts through the form's font tree (ui/Font.h). It knows controls by their
// layout ids and offers what a form does with them (text, check state, visibility, focus,
// bounds); what the controls mean is left to the class built on it (TMainForm). Windows only.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/WinHandle.h"
#include "ui/DialogWindow.h"
#include "ui/Font.h"
#include "ui/Layout.h"

class TLayoutWindow : public TDialogWindow<TLayoutWindow> {
public:
    TLayoutWindow(const TLayoutWindow&) = delete;
    TLayoutWindow& operator=(const TLayoutWindow&) = delete;

    // The window of a control of the layout, or of one added at run time.
    HWND Control(int id) const;
    // True once the window has closed.
    bool Closed() const { return IsClosed; }

    std::string Text(int id) const;
    void SetText(int id, const std::string& text);
    bool Checked(int id) const;
    void SetChecked(int id, bool checked);
    // Visible up to the window (the window itself may still be hidden) and enabled.
    bool CanFocus(int id) const;
    bool IsShown(int id) const;
    // Bounds in the parent's client coordinates, in pixels.
    TBounds Bounds(int id) const;
    int ParentId(int id) const;
    // The font a control draws with.
    TFont FontOf(int id) const;
    // The control that has the keyboard focus, or that will have it when the window is shown.
    int FocusedId() const;

    // Shows the window in the centre of the screen with the focus where Focus put it.
    void Show();

protected:
    TLayoutWindow() = default;
    ~TLayoutWindow();

    friend class TDialogWindow<TLayoutWindow>;
    // The dialog procedure's share; WM_INITDIALOG included.
    virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // An exception escaped HandleMessage.
    virtual void OnUnexpectedError(const char* message) = 0;
    void OnWindowDestroyed();

    // Creates the window (hidden) with every control of the layout, scaled to the screen, in
    // the design font. False when the window cannot be created.
    bool CreateFromLayout();
    // Destroys the window now (WM_DESTROY reaches HandleMessage first).
    void Destroy() { Window.Reset(); }
    // Sets every control's font from the font tree again (after the tree has changed).
    void ApplyFonts();
    // Creates a control that the layout does not hold, at bounds in pixels, in its own font.
    void AddControl(const TControlDesign& design, const TBounds& bounds, const TFont& font);

    void SetVisible(int id, bool visible);
    void SetEnabled(int id, bool enabled);
    // Moves a control, to another parent too, keeping its size.
    void MoveTo(int id, int parent, int left, int top);
    // Gives the control the focus, or keeps it for Show while the window is hidden.
    void Focus(int id);
    // The dialog manager's keys (Tab, Enter, Escape, accelerators); true when handled.
    bool IsDialogKey(MSG& message);

    TLayoutScale LayoutScale;
    TFontForm FontForm;
    int PixelsPerInch = DesignPixelsPerInch;

private:
    struct TControl {
        int Id = 0;
        HWND Handle = nullptr;
        int Parent = idNone;
        TFontControl FontNode;
    };

    bool IsClosed = false;
    HWND PendingFocus = nullptr;
    std::vector<std::unique_ptr<TControl>> Controls;
    // GDI fonts in use, one per distinct font; freed after the window.
    std::vector<std::pair<TFont, UniqueGdiObject>> Fonts;

    TControl* Find(int id) const;
    HWND CreateControlWindow(const TControlDesign& design, HWND parent, const TBounds& bounds);
    HFONT GdiFont(const TFont& font);
    TFont EffectiveFont(const TControl& control) const;
};
