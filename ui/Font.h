// Font and screen-resolution helpers of the wizard. The wizard is designed at 96 pixels per
// inch in "MS Sans Serif" at 8 points (character height 11 pixels, text height 13 pixels). At
// start-up the process declares itself aware of the resolution, and the wizard is given the
// preferred interface font for the Windows version; when the wizard is loaded its layout is
// scaled by the measured text height, and when it is created the controls that carry the
// design font switch to the preferred one. The wizard's window holds these metrics; nothing
// here keeps state between calls. Windows only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The design font and the text height the layout was drawn with.
constexpr const char* DesignFontFace = "MS Sans Serif";
constexpr int DesignFontHeight = 11;   // character height in pixels at 96 pixels per inch
constexpr int DesignedTextHeight = 13; // height of "0" in the design font at 96 pixels per inch
constexpr int DesignPixelsPerInch = 96;

// A font: face, character height in pixels at the screen's resolution (what a negative
// lfHeight means), weight and character set. The size in points follows from the height.
struct TFont {
    std::string Face = DesignFontFace;
    int Height = DesignFontHeight;
    bool Bold = false;
    int Charset = DEFAULT_CHARSET;

    // Whole points at ppi pixels per inch, rounded as MulDiv rounds.
    int Size(int ppi) const;
    void SetSize(int points, int ppi);
    bool operator==(const TFont& other) const;
};

// The preferred interface font: face and size in points. Regular style, window-text colour
// and the default character set are implied.
struct TUiFont {
    std::string Face = DesignFontFace;
    int Size = 8;
};

// Calls SetProcessDPIAware when user32 has it, so that Windows does not stretch our windows
// as bitmaps at other resolutions. Looked up at run time: systems before Windows 6 lack it.
void EnableDpiAwareness();

// The candidate for a Windows major version ("Segoe UI" 9 from 6 on, "Tahoma" 8 before) when
// isInstalled says that its face is there; otherwise current unchanged. Only one candidate is
// tried.
TUiFont ChooseUiFont(const TUiFont& current, DWORD majorVersion,
                     const std::function<bool(const std::string& face)>& isInstalled);
// ChooseUiFont for the running system, starting from the design font.
TUiFont SelectUiFont();
// True when a font family of that face (exact name) is installed.
bool IsFontInstalled(const std::string& face);

// Vertical pixels per inch of the screen.
int ScreenPixelsPerInch();

// Height in pixels of the text "0" in font on the screen.
int MeasureTextHeight(const TFont& font);

// A rectangle in its parent's coordinates.
struct TBounds {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const TBounds& o) const {
        return Left == o.Left && Top == o.Top && Width == o.Width && Height == o.Height;
    }
};

// The one scaler from design units to screen pixels: the design font's text height M at the
// screen's resolution against the designed D = 13. The form loader rounds to the nearest
// pixel (as MulDiv does) when it scales the designed layout; lengths that the wizard computes
// at run time truncate, and may therefore come out one pixel short of a loaded neighbour.
struct TLayoutScale {
    int M = DesignedTextHeight;
    int D = DesignedTextHeight;
    bool Identity() const { return M == D; }
    // The loader: left and top scale on their own; width and height as the difference of the
    // scaled edges, so that neighbours that touch at design time still touch.
    TBounds Bounds(const TBounds& design) const;
    // The loader: a client size.
    int Length(int value) const;
    // A length computed at run time: length × M / D in 32-bit integers, truncated toward zero.
    int Value(int length) const { return length * M / D; }
    // The points of a control's own font after loading: its designed pixel height taken as
    // whole points at the screen's resolution, then scaled by M/D.
    int OwnFontSize(int designHeight, int ppi) const;
};

// TLayoutScale::Value for a measured text height.
int ScaleValueBy(int length, int textHeight);

// The form font's height after loading at ppi (the designed height rescaled from 96).
int LoadedFormFontHeight(int ppi);
// The loader's scale at ppi: measures "0" in the design font rescaled to ppi.
TLayoutScale MeasureLayoutScale(int ppi);

// A control as far as fonts go: it either follows its parent's font or has its own.
struct TFontControl {
    bool ParentFont = true;
    TFont Font;                   // its own font, when ParentFont is false
    bool CanHoldChildren = false; // a windowed container (page, panel)
    std::vector<TFontControl*> Children;
};

struct TFontForm : TFontControl {
    int PixelsPerInch = DesignPixelsPerInch;
    TFontForm() {
        ParentFont = false;
        CanHoldChildren = true;
    }
};

// Appends to list, depth first in child order, every control below parent that has its own
// font with the form font's face (exact, letter case significant) and size in points.
void CollectFontControls(const TFontControl& parent, const TFontForm& form, std::vector<TFontControl*>& list);
// Switches form to uiFont: the form's font becomes a copy of it, and the controls that carry
// the form's face and size in their own font take its face and size (keeping bold and the
// rest).
void AdaptFormFont(TFontForm& form, const TUiFont& uiFont);

// A GDI font for font at the screen's resolution; owned by the caller.
HFONT CreateGdiFont(const TFont& font);
