#include "tools/setupdriver/IconMatch.h"

#include <cstdlib>
#include <vector>

#include "common/WinHandle.h"
#include "tools/setupdriver/ScreenCapture.h"

const std::map<std::string, LPCSTR>& SystemIcons() {
    static const std::map<std::string, LPCSTR> icons = {{"error", IDI_HAND},
                                                        {"warning", IDI_EXCLAMATION},
                                                        {"information", IDI_ASTERISK},
                                                        {"question", IDI_QUESTION}};
    return icons;
}

// Icon handles cannot be compared across processes (under Wine each process loads its own
// copy of the system icons), so the control's pixels on the screen are compared with each
// system icon drawn over the control's own background colour (its top-left pixel, which
// icons leave clear).
std::string IconShown(HWND control) {
    RECT rect;
    ::GetWindowRect(control, &rect);
    std::vector<DWORD> shown = CaptureScreen(rect).Pixels;
    DWORD background = shown[0];
    std::string best;
    unsigned long long bestDifference = ~0ull;
    for (const auto& [name, id] : SystemIcons()) {
        HICON icon = ::LoadIconA(nullptr, id);
        std::vector<DWORD> drawn =
            CaptureScreen(rect, [&](HDC dc) {
                RECT all = {0, 0, rect.right - rect.left, rect.bottom - rect.top};
                UniqueGdiObject brush(::CreateSolidBrush(
                    RGB((background >> 16) & 255, (background >> 8) & 255, background & 255)));
                ::FillRect(dc, &all, static_cast<HBRUSH>(brush.Get()));
                ::DrawIcon(dc, 0, 0, icon);
            }).Pixels;
        unsigned long long difference = 0;
        for (size_t i = 0; i < shown.size(); ++i)
            for (int shift : {0, 8, 16})
                difference += std::abs(static_cast<int>((shown[i] >> shift) & 255) -
                                       static_cast<int>((drawn[i] >> shift) & 255));
        if (difference < bestDifference) {
            bestDifference = difference;
            best = name;
        }
    }
    // Far from all of them (more than 16 levels per colour on average): some other picture.
    return bestDifference <= shown.size() * 3 * 16 ? best : "an unknown";
}
