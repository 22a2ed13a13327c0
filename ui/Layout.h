// The designed layout of the wizard form: every control with its name, kind, parent, bounds in
// design units (pixels at 96 pixels per inch with "MS Sans Serif" 8), caption, font, style
// and tab order. The form builds its windows from this table and scales it to the screen.
// The control identifiers are stable, so that tests and the test driver can find controls.
#pragma once

#include <cstddef>
#include <vector>

#include "ui/Font.h"

// Pages of the notebook, by index.
enum TWizardPage : int {
    wpWelcome,
    wpLicense,
    wpBundleItems,
    wpVstPlugins,
    wpDigiPlugins,
    wpPhotoshopPlugin,
    wpDest,
    wpPersonalize,
    wpIcon,
    wpCopy,
    wpReady,
    WizardPageCount
};

// Control identifiers (the dialog item ids of the windows).
enum TControlId : int {
    idNone = 0,
    idPanel = 100,
    idImage,
    idNotebook,
    idBackButton,
    idNextButton,
    idCancelButton,

    // The notebook's pages: idPageBase + page index.
    idPageBase = 200,

    idWelcomeHeadingLabel = 1001,
    idWelcomeDescriptionLabel,
    idWelcomeStepLabel,

    idLicenseHeadingLabel = 1101,
    idLicenseMemo,
    idLicenseStepLabel,

    idBundleHeadingLabel = 1201,
    idBundleDescriptionLabel,

    idVstHeadingLabel = 1301,
    idVst2DescriptionLabel,
    idVst2InstallCheck,
    idVst2FolderLabel,
    idVst2FolderInput,
    idVst2BrowseButton,
    idVst3InstallCheck,
    idVst3ListLabel,
    idVst3DescriptionLabel,

    idDigiHeadingLabel = 1401,
    idDigiDescriptionLabel,
    idDigiInstallCheck,
    idDigiFolderLabel,
    idDigiFolderInput,
    idDigiBrowseButton,

    idPhotoshopHeadingLabel = 1501,
    idPhotoshopInfoLabel,
    idPhotoshopInstallCheck,
    idPhotoshopFolderLabel,
    idPhotoshopFolderInput,
    idPhotoshopBrowseButton,

    idDestHeadingLabel = 1601,
    idDestDescriptionLabel,
    idDestStepLabel,
    idDestFolderLabel,
    idDestFolderInput,
    idDestBrowseButton,

    idNameHeadingLabel = 1701,
    idNameInfoLabel,
    idNameLabel,
    idNameInput,

    idIconHeadingLabel = 1801,
    idIconStartMenuLabel,
    idIconStartMenuCheck,
    idIconDesktopLabel,
    idIconDesktopCheck,
    idInstallLabel,

    idCopyHeadingLabel = 1901,
    idCopyDescriptionLabel,
    idCopyStatusLabel,
    idCopyProgressBar,

    idReadyHeadingLabel = 2001,
    idReadyDescriptionLabel,
    idReadyReadmeLabel,
    idReadyReadmeCheck,
    idReadyStartLabel,
    idReadyStartCheck,

    // The bundle items' check boxes, created at run time: idBundleItemBase + item index.
    idBundleItemBase = 3000,
};

constexpr int PageId(int page) {
    return idPageBase + page;
}

enum class TControlKind {
    Panel,    // a container with a single-line border
    Image,    // the wizard picture, stretched to its bounds
    Notebook, // holds the pages, one shown at a time
    Page,     // one page of the notebook, filling it
    Button,   // push button
    Label,    // static text
    CheckBox,
    Edit,        // one-line edit box
    Memo,        // multi-line read-only text box
    ProgressBar, // range 0 to 100
};

enum TControlFlag : unsigned {
    cfNone = 0,
    cfWraps = 1u << 0,       // a label that breaks its caption into lines within its bounds
    cfHeadingFont = 1u << 1, // its own font: the design face at 11 pixels, bold
    cfChecked = 1u << 2,     // a check box that starts checked
    cfDefault = 1u << 3,     // the default button (Enter)
    cfCancel = 1u << 4,      // the cancel button (Escape)
};

struct TControlDesign {
    TControlId Id;
    const char* Name;
    TControlKind Kind;
    TControlId Parent; // idNone: the form itself
    TBounds Bounds;    // design units, in the parent's client coordinates
    const char* Caption;
    unsigned Flags;
    int TabOrder;           // position among the parent's tab stops; -1: not a tab stop
    TControlId FocusTarget; // for a label: the control its accelerator focuses
};

// The form itself, as designed.
constexpr const char* FormCaption = "$ProductName Setup";
constexpr int FormClientWidth = 512;
constexpr int FormClientHeight = 370;

// The designed captions that the wizard sets on its buttons at run time.
constexpr const char* NextCaption = "&Next >";
constexpr const char* CancelCaption = "Cancel";
constexpr const char* YesCaption = "&Yes";
constexpr const char* NoCaption = "&No";
constexpr const char* FinishCaption = "&Finish";
constexpr const char* InstallCaption = "&Install";

// The designed controls, parents before their children.
const TControlDesign* DesignedControls();
size_t DesignedControlCount();
// The design of the control with that id; null for none.
const TControlDesign* FindDesign(TControlId id);
const TControlDesign* FindDesign(const char* name);

// The controls in the order in which the form creates them, which is also the order in which
// the dialog manager moves the focus: parents before their children and, per parent, the tab
// stops by tab order with each label that has an accelerator just before the control it
// focuses (Windows moves the focus from a label's accelerator to the next tab stop), then
// the remaining controls.
std::vector<const TControlDesign*> CreationOrder();
