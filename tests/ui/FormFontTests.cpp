// Font and resolution adaptation of the wizard: the interface font for a Windows version, the
// design-unit scale, the form loader's scaling, which controls take the interface font, and
// the designed layout table the form is built from.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ui/Font.h"
#include "ui/Layout.h"

namespace {

TEST(UiFontTest, OneCandidatePerWindowsVersion) {
    struct TCase {
        DWORD Major;
        std::set<std::string> Installed;
        std::string Face;
        int Size;
    };
    const TCase cases[] = {
        {6, {"Segoe UI", "Tahoma"}, "Segoe UI", 9},
        {10, {"Segoe UI"}, "Segoe UI", 9},
        // Without Segoe UI a newer system keeps the default, even with Tahoma there.
        {6, {"Tahoma"}, "MS Sans Serif", 8},
        {5, {"Segoe UI", "Tahoma"}, "Tahoma", 8},
        {5, {"Segoe UI"}, "MS Sans Serif", 8},
        {4, {}, "MS Sans Serif", 8},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Major) + " " + c.Face);
        const TUiFont chosen = ChooseUiFont(
            TUiFont(), c.Major, [&](const std::string& face) { return c.Installed.count(face) > 0; });
        EXPECT_EQ(chosen.Face, c.Face);
        EXPECT_EQ(chosen.Size, c.Size);
    }
}

int CALLBACK NoteFirstFace(const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM face) {
    *reinterpret_cast<std::string*>(face) = font->lfFaceName;
    return 0;
}

TEST(UiFontTest, InstalledFacesAreFound) {
    // Any family the system lists counts; a face that only font substitution answers for (as
    // "MS Sans Serif" under Wine) does not.
    std::string listed;
    LOGFONTA all = {};
    all.lfCharSet = DEFAULT_CHARSET;
    HDC screen = ::GetDC(nullptr);
    ::EnumFontFamiliesExA(screen, &all, reinterpret_cast<FONTENUMPROCA>(NoteFirstFace),
                          reinterpret_cast<LPARAM>(&listed), 0);
    ::ReleaseDC(nullptr, screen);
    ASSERT_FALSE(listed.empty());
    EXPECT_TRUE(IsFontInstalled(listed)) << listed;
    EXPECT_FALSE(IsFontInstalled("No Such Face 4711"));
    EXPECT_FALSE(IsFontInstalled(""));
}

TEST(UiFontTest, ScaleValueTruncatesTowardZero) {
    struct TCase {
        int Length, TextHeight, Scaled;
    };
    const TCase cases[] = {
        {220, 13, 220}, {220, 16, 270}, {24, 16, 29},   {60, 16, 73},
        {0, 16, 0},     {-60, 16, -73}, {312, 20, 480},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ScaleValueBy(c.Length, c.TextHeight), c.Scaled) << c.Length << " at " << c.TextHeight;
}

TEST(UiFontTest, DesignFontMeasuresItsTextHeightAtTheScreensResolution) {
    const int ppi = ScreenPixelsPerInch();
    const TLayoutScale scale = MeasureLayoutScale(ppi);
    const int measured = scale.M;
    EXPECT_GT(measured, 0);
    EXPECT_EQ(scale.D, 13);
    EXPECT_EQ(scale.Value(220), 220 * measured / 13);
    if (ppi == 96) {
        EXPECT_EQ(scale.Value(220), 220) << "the design font measures " << measured;
    }
}

TEST(UiFontTest, LoaderScalesBoundsByTheirEdges) {
    struct TCase {
        TLayoutScale Scale;
        TBounds Design, Scaled;
    };
    const TCase cases[] = {
        {{13, 13}, {249, 339, 75, 23}, {249, 339, 75, 23}},
        {{20, 13}, {249, 339, 75, 23}, {383, 522, 115, 35}},
        // Neighbours that touch keep touching: Back ends where Next begins.
        {{20, 13}, {324, 339, 75, 23}, {498, 522, 116, 35}},
        {{16, 13}, {8, 8, 154, 354}, {10, 10, 189, 436}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Scale.M) + "/" + std::to_string(c.Scale.D));
        EXPECT_EQ(c.Scale.Bounds(c.Design), c.Scaled);
    }
    const TLayoutScale scale{20, 13};
    const TBounds back = scale.Bounds({249, 339, 75, 23});
    EXPECT_EQ(back.Left + back.Width, scale.Bounds({324, 339, 75, 23}).Left);
    EXPECT_EQ(scale.Length(512), 788);
}

TEST(UiFontTest, LoaderRescalesOwnFontsByThePointsTheyHaveAtTheResolution) {
    struct TCase {
        int Ppi, M;
        int FormHeight, HeadingPoints;
    };
    const TCase cases[] = {
        {96, 13, 11, 8},
        // 11 pixels at 144 ppi are 5.5 points, taken as 6, then scaled by 20/13.
        {144, 20, 17, 9},
        {120, 16, 14, 9},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Ppi);
        EXPECT_EQ(LoadedFormFontHeight(c.Ppi), c.FormHeight);
        EXPECT_EQ((TLayoutScale{c.M, 13}.OwnFontSize(DesignFontHeight, c.Ppi)), c.HeadingPoints);
    }
}

// A form as the loader leaves it: a page holding a bold heading and a label that follows the
// page's font.
struct TSampleForm {
    TFontForm Form;
    TFontControl Page, Heading, Label, Other;
    explicit TSampleForm(int ppi, int headingPoints) {
        Form.PixelsPerInch = ppi;
        Form.Font.Height = LoadedFormFontHeight(ppi);
        Page.CanHoldChildren = true;
        Heading.ParentFont = false;
        Heading.Font.Bold = true;
        Heading.Font.SetSize(headingPoints, ppi);
        Other.ParentFont = false;
        Other.Font.Face = "Courier New";
        Other.Font.SetSize(headingPoints, ppi);
        Page.Children = {&Heading, &Label, &Other};
        Form.Children = {&Page};
    }
};

TEST(UiFontTest, AdaptFormFontSwitchesTheControlsThatCarryTheDesignFont) {
    struct TCase {
        const char* Name;
        int Ppi, HeadingPoints;
        bool HeadingAdapted;
    };
    const TCase cases[] = {
        {"96 ppi", 96, 8, true},
        {"144 ppi: 9 points on both sides", 144, 9, true},
        {"144 ppi: the heading's points no longer agree", 144, 10, false},
    };
    const TUiFont segoe{"Segoe UI", 9};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TSampleForm sample(c.Ppi, c.HeadingPoints);
        std::vector<TFontControl*> collected;
        CollectFontControls(sample.Form, sample.Form, collected);
        EXPECT_EQ(collected.size(), c.HeadingAdapted ? 1u : 0u);

        AdaptFormFont(sample.Form, segoe);
        EXPECT_EQ(sample.Form.Font.Face, "Segoe UI");
        EXPECT_EQ(sample.Form.Font.Size(c.Ppi), 9);
        EXPECT_FALSE(sample.Form.Font.Bold);
        EXPECT_TRUE(sample.Label.ParentFont);
        EXPECT_TRUE(sample.Heading.Font.Bold);
        EXPECT_EQ(sample.Heading.Font.Face, c.HeadingAdapted ? "Segoe UI" : "MS Sans Serif");
        EXPECT_EQ(sample.Heading.Font.Size(c.Ppi), c.HeadingAdapted ? 9 : c.HeadingPoints);
        EXPECT_EQ(sample.Other.Font.Face, "Courier New");
    }
}

TEST(UiFontTest, FaceComparisonIsExact) {
    TSampleForm sample(96, 8);
    sample.Heading.Font.Face = "ms sans serif";
    std::vector<TFontControl*> collected;
    CollectFontControls(sample.Form, sample.Form, collected);
    EXPECT_TRUE(collected.empty());
}

// --- the designed layout ---------------------------------------------------------------------------

TEST(LayoutTest, NamesAndIdsAreUnique) {
    std::set<int> ids;
    std::set<std::string> names;
    for (size_t i = 0; i < DesignedControlCount(); ++i) {
        const TControlDesign& design = DesignedControls()[i];
        EXPECT_TRUE(ids.insert(design.Id).second) << design.Name;
        EXPECT_TRUE(names.insert(design.Name).second) << design.Name;
        EXPECT_EQ(FindDesign(design.Id), &design);
        EXPECT_EQ(FindDesign(design.Name), &design);
        if (design.Parent != idNone) {
            EXPECT_NE(FindDesign(design.Parent), nullptr) << design.Name;
        }
    }
}

TEST(LayoutTest, CreationOrderIsTheTabOrderWithLabelsBeforeTheirInputs) {
    const std::vector<const TControlDesign*> order = CreationOrder();
    ASSERT_EQ(order.size(), DesignedControlCount());
    auto position = [&](TControlId id) {
        for (size_t i = 0; i < order.size(); ++i)
            if (order[i]->Id == id)
                return static_cast<int>(i);
        return -1;
    };
    // Parents first.
    for (size_t i = 0; i < order.size(); ++i)
        if (order[i]->Parent != idNone) {
            EXPECT_LT(position(order[i]->Parent), static_cast<int>(i)) << order[i]->Name;
        }
    // The form's own tab order: notebook, Back, Next, Cancel, panel.
    std::vector<TControlId> formLevel;
    for (const TControlDesign* design : order)
        if (design->Parent == idNone)
            formLevel.push_back(design->Id);
    EXPECT_EQ(formLevel,
              (std::vector<TControlId>{idNotebook, idBackButton, idNextButton, idCancelButton, idPanel}));
    // Within pages, by tab order, each accelerator label directly before its input.
    const std::vector<std::vector<TControlId>> sequences = {
        {idVst2FolderLabel, idVst2FolderInput, idVst2BrowseButton, idVst2InstallCheck, idVst3InstallCheck},
        {idDigiFolderLabel, idDigiFolderInput, idDigiBrowseButton, idDigiInstallCheck},
        {idPhotoshopInstallCheck, idPhotoshopFolderInput, idPhotoshopBrowseButton},
        {idDestFolderLabel, idDestFolderInput, idDestBrowseButton},
        {idNameLabel, idNameInput},
        {idIconStartMenuCheck, idIconDesktopCheck},
        {idReadyStartCheck, idReadyReadmeCheck},
    };
    for (const auto& sequence : sequences)
        for (size_t i = 1; i < sequence.size(); ++i)
            EXPECT_EQ(position(sequence[i]), position(sequence[i - 1]) + 1) << FindDesign(sequence[i])->Name;
}

} // namespace
