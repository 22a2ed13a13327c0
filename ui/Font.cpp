#include "ui/Font.h"

#include "common/WinHandle.h"

namespace {

int TextHeightOfZero(HDC dc, HFONT font) {
    TSelectObject select(dc, font);
    SIZE size = {};
    if (!::GetTextExtentPoint32A(dc, "0", 1, &size))
        return 0;
    return size.cy;
}

int CALLBACK NoteFontFamily(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0; // one is enough
}

} // namespace

int TFont::Size(int ppi) const {
    return ::MulDiv(Height, 72, ppi);
}

void TFont::SetSize(int points, int ppi) {
    Height = ::MulDiv(points, ppi, 72);
}

bool TFont::operator==(const TFont& other) const {
    return Face == other.Face && Height == other.Height && Bold == other.Bold && Charset == other.Charset;
}

void EnableDpiAwareness() {
    // LoadLibrary returns values below 32 for errors on the oldest systems; treat those as
    // failure too.
    UniqueModule user32(::LoadLibraryA("user32.dll"));
    if (reinterpret_cast<UINT_PTR>(user32.Get()) < 32) {
        user32.Release();
        return;
    }
    if (auto setAware = reinterpret_cast<BOOL(WINAPI*)()>(
            reinterpret_cast<void*>(::GetProcAddress(user32.Get(), "SetProcessDPIAware"))))
        setAware();
}

TUiFont ChooseUiFont(const TUiFont& current, DWORD majorVersion,
                     const std::function<bool(const std::string& face)>& isInstalled) {
    const TUiFont candidate = majorVersion >= 6 ? TUiFont{"Segoe UI", 9} : TUiFont{"Tahoma", 8};
    return isInstalled(candidate.Face) ? candidate : current;
}

bool IsFontInstalled(const std::string& face) {
    if (face.empty() || face.size() >= LF_FACESIZE)
        return false;
    LOGFONTA wanted = {};
    wanted.lfCharSet = DEFAULT_CHARSET;
    face.copy(wanted.lfFaceName, face.size());
    bool found = false;
    TWindowDc screen(nullptr);
    // With a face name the enumeration lists only that family; Windows compares the name
    // without regard to case, as the list of installed faces does.
    ::EnumFontFamiliesExA(screen.Get(), &wanted, reinterpret_cast<FONTENUMPROCA>(NoteFontFamily),
                          reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

TUiFont SelectUiFont() {
    // GetVersionExA reports 6.2 on later systems to programs without a compatibility section
    // in their manifest; only the major number matters here.
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!::GetVersionExA(&version))
        return TUiFont();
    return ChooseUiFont(TUiFont(), version.dwMajorVersion, IsFontInstalled);
}

int ScreenPixelsPerInch() {
    TWindowDc screen(nullptr);
    int ppi = screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
    return ppi > 0 ? ppi : DesignPixelsPerInch;
}

HFONT CreateGdiFont(const TFont& font) {
    return ::CreateFontA(-font.Height, 0, 0, 0, font.Bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                         static_cast<BYTE>(font.Charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                         DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, font.Face.c_str());
}

int MeasureTextHeight(const TFont& font) {
    TWindowDc screen(nullptr);
    UniqueGdiObject gdiFont(CreateGdiFont(font));
    if (!screen.Get() || !gdiFont)
        return 0;
    return TextHeightOfZero(screen.Get(), static_cast<HFONT>(gdiFont.Get()));
}

int ScaleValueBy(int length, int textHeight) {
    return TLayoutScale{textHeight, DesignedTextHeight}.Value(length);
}

TBounds TLayoutScale::Bounds(const TBounds& design) const {
    if (Identity())
        return design;
    TBounds scaled;
    scaled.Left = ::MulDiv(design.Left, M, D);
    scaled.Top = ::MulDiv(design.Top, M, D);
    scaled.Width = ::MulDiv(design.Left + design.Width, M, D) - scaled.Left;
    scaled.Height = ::MulDiv(design.Top + design.Height, M, D) - scaled.Top;
    return scaled;
}

int TLayoutScale::Length(int value) const {
    return Identity() ? value : ::MulDiv(value, M, D);
}

int TLayoutScale::OwnFontSize(int designHeight, int ppi) const {
    const int points = ::MulDiv(designHeight, 72, ppi);
    return Identity() ? points : ::MulDiv(points, M, D);
}

int LoadedFormFontHeight(int ppi) {
    return ppi == DesignPixelsPerInch ? DesignFontHeight
                                      : ::MulDiv(DesignFontHeight, ppi, DesignPixelsPerInch);
}

TLayoutScale MeasureLayoutScale(int ppi) {
    TFont formFont;
    formFont.Height = LoadedFormFontHeight(ppi);
    TLayoutScale scale;
    const int measured = MeasureTextHeight(formFont);
    if (measured > 0)
        scale.M = measured;
    return scale;
}

void CollectFontControls(const TFontControl& parent, const TFontForm& form,
                         std::vector<TFontControl*>& list) {
    const int formSize = form.Font.Size(form.PixelsPerInch);
    for (TFontControl* child : parent.Children) {
        if (!child->ParentFont && child->Font.Face == form.Font.Face &&
            child->Font.Size(form.PixelsPerInch) == formSize)
            list.push_back(child);
        if (child->CanHoldChildren)
            CollectFontControls(*child, form, list);
    }
}

void AdaptFormFont(TFontForm& form, const TUiFont& uiFont) {
    std::vector<TFontControl*> list;
    CollectFontControls(form, form, list);
    form.Font = TFont();
    form.Font.Face = uiFont.Face;
    form.Font.SetSize(uiFont.Size, form.PixelsPerInch);
    for (TFontControl* control : list) {
        control->Font.Face = uiFont.Face;
        control->Font.SetSize(uiFont.Size, form.PixelsPerInch);
    }
}
