#include "ui/Layout.h"

#include <algorithm>
#include <cstring>

namespace {

using K = TControlKind;

constexpr TControlId Page(TWizardPage page) {
    return static_cast<TControlId>(PageId(page));
}

// Headings: a bold label at 8, 8, height 17, on every page.
constexpr TControlDesign Heading(TControlId id, const char* name, TWizardPage page, int width,
                                 const char* caption) {
    return {id, name, K::Label, Page(page), {8, 8, width, 17}, caption, cfHeadingFont, -1, idNone};
}

constexpr TControlDesign PageDesign(TWizardPage page, const char* name) {
    return {Page(page), name, K::Page, idNotebook, {0, 0, 325, 313}, "", cfNone, -1, idNone};
}

// One row per control: id, name, kind, parent, bounds (left, top, width, height), caption,
// flags, tab order, accelerator target.
// clang-format off
const TControlDesign Controls[] = {
    // Outside the notebook. The panel's border takes two pixels on each side, so that the
    // picture fills its client area.
    {idPanel, "Panel", K::Panel, idNone, {8, 8, 154, 354}, "", cfNone, 4, idNone},
    {idImage, "Image", K::Image, idPanel, {0, 0, 150, 350}, "", cfNone, -1, idNone},
    {idNotebook, "Notebook", K::Notebook, idNone, {176, 8, 325, 313}, "", cfNone, 0, idNone},
    {idBackButton, "BackButton", K::Button, idNone, {249, 339, 75, 23}, "< &Back", cfNone, 1, idNone},
    {idNextButton, "NextButton", K::Button, idNone, {324, 339, 75, 23}, "&Next >", cfDefault, 2, idNone},
    {idCancelButton, "CancelButton", K::Button, idNone, {425, 339, 75, 23}, "Cancel", cfCancel, 3, idNone},

    PageDesign(wpWelcome, "Welcome"),
    PageDesign(wpLicense, "License"),
    PageDesign(wpBundleItems, "BundleItems"),
    PageDesign(wpVstPlugins, "VstPlugins"),
    PageDesign(wpDigiPlugins, "DigiPlugins"),
    PageDesign(wpPhotoshopPlugin, "PhotoshopPlugin"),
    PageDesign(wpDest, "Dest"),
    PageDesign(wpPersonalize, "Personalize"),
    PageDesign(wpIcon, "Icon"),
    PageDesign(wpCopy, "Copy"),
    PageDesign(wpReady, "Ready"),

    Heading(idWelcomeHeadingLabel, "WelcomeHeadingLabel", wpWelcome, 237, "Welcome to $ProductName Setup"),
    {idWelcomeDescriptionLabel, "WelcomeDescriptionLabel", K::Label, Page(wpWelcome), {8, 32, 281, 41},
     "This program will install $FullProductName on your computer.", cfWraps, -1, idNone},
    {idWelcomeStepLabel, "WelcomeStepLabel", K::Label, Page(wpWelcome), {8, 72, 281, 33},
     "Click the Next button to continue.", cfWraps, -1, idNone},

    Heading(idLicenseHeadingLabel, "LicenseHeadingLabel", wpLicense, 237, "License Agreement"),
    {idLicenseMemo, "LicenseMemo", K::Memo, Page(wpLicense), {8, 32, 269, 217}, "", cfNone, 0, idNone},
    {idLicenseStepLabel, "LicenseStepLabel", K::Label, Page(wpLicense), {8, 264, 269, 29},
     "Do you accept this license agreement? If you choose No, Setup will close.", cfWraps, -1, idNone},

    Heading(idBundleHeadingLabel, "BundleHeadingLabel", wpBundleItems, 305, "$BundleSelectHeading"),
    {idBundleDescriptionLabel, "BundleDescriptionLabel", K::Label, Page(wpBundleItems), {8, 32, 305, 17},
     "$BundleSelectDescription", cfNone, -1, idNone},

    Heading(idVstHeadingLabel, "VstHeadingLabel", wpVstPlugins, 237, "VST Plug-In Installation"),
    {idVst2DescriptionLabel, "Vst2DescriptionLabel", K::Label, Page(wpVstPlugins), {8, 32, 293, 65},
     "The VST 2 $PluginDescription needs to be installed in the plug-in folder for your VST host. Use the "
     "Browse button to select the proper VST 2 plug-in folder on your computer.", cfWraps, -1, idNone},
    {idVst2InstallCheck, "Vst2InstallCheck", K::CheckBox, Page(wpVstPlugins), {8, 100, 305, 17},
     "&Install the VST 2 $PluginDescription", cfChecked, 2, idNone},
    {idVst2FolderLabel, "Vst2FolderLabel", K::Label, Page(wpVstPlugins), {8, 128, 237, 17},
     "VST 2 Plug-In &Folder:", cfNone, -1, idVst2FolderInput},
    {idVst2FolderInput, "Vst2FolderInput", K::Edit, Page(wpVstPlugins), {8, 144, 305, 21},
     "", cfNone, 0, idNone},
    {idVst2BrowseButton, "Vst2BrowseButton", K::Button, Page(wpVstPlugins), {238, 168, 75, 23},
     "&Browse...", cfNone, 1, idNone},
    {idVst3InstallCheck, "Vst3InstallCheck", K::CheckBox, Page(wpVstPlugins), {8, 204, 309, 17},
     "Install the VST &3 $PluginDescription", cfChecked, 3, idNone},
    {idVst3ListLabel, "Vst3ListLabel", K::Label, Page(wpVstPlugins), {25, 220, 287, 17},
     "(Only for $List)", cfNone, -1, idNone},
    {idVst3DescriptionLabel, "Vst3DescriptionLabel", K::Label, Page(wpVstPlugins), {8, 244, 301, 65},
     "This will install the VST 3 $PluginDescription in the common VST 3 plug-in folder on your computer. "
     "(VST 3 is a newer version of VST that requires a VST 3 host.)", cfWraps, -1, idNone},

    Heading(idDigiHeadingLabel, "DigiHeadingLabel", wpDigiPlugins, 237, "Pro Tools Plug-In Installation"),
    {idDigiDescriptionLabel, "DigiDescriptionLabel", K::Label, Page(wpDigiPlugins), {8, 32, 293, 65},
     "The RTAS $PluginDescription needs to be installed in the Pro Tools plug-in folder. Use the Browse "
     "button to select the plug-in folder on your computer.", cfWraps, -1, idNone},
    {idDigiInstallCheck, "DigiInstallCheck", K::CheckBox, Page(wpDigiPlugins), {8, 100, 301, 17},
     "&Install the RTAS $PluginDescription", cfChecked, 2, idNone},
    {idDigiFolderLabel, "DigiFolderLabel", K::Label, Page(wpDigiPlugins), {8, 128, 133, 17},
     "Pro Tools Plug-In &Folder:", cfNone, -1, idDigiFolderInput},
    {idDigiFolderInput, "DigiFolderInput", K::Edit, Page(wpDigiPlugins), {8, 144, 305, 21},
     "", cfNone, 0, idNone},
    {idDigiBrowseButton, "DigiBrowseButton", K::Button, Page(wpDigiPlugins), {238, 168, 75, 23},
     "&Browse...", cfNone, 1, idNone},

    Heading(idPhotoshopHeadingLabel, "PhotoshopHeadingLabel", wpPhotoshopPlugin, 241,
            "Adobe Photoshop Plug-in Installation"),
    {idPhotoshopInfoLabel, "PhotoshopInfoLabel", K::Label, Page(wpPhotoshopPlugin), {8, 32, 293, 73},
     "The Adobe Photoshop $PluginDescription needs to be installed in the Photoshop plug-ins folder. Use the "
     "Browse button to select the plug-ins folder on your computer.", cfWraps, -1, idNone},
    {idPhotoshopInstallCheck, "PhotoshopInstallCheck", K::CheckBox, Page(wpPhotoshopPlugin),
     {8, 108, 301, 17},
     "&Install the Photoshop $PluginDescription", cfChecked, 0, idNone},
    {idPhotoshopFolderLabel, "PhotoshopFolderLabel", K::Label, Page(wpPhotoshopPlugin), {8, 136, 189, 17},
     "Adobe Photoshop plug-ins &folder:", cfNone, -1, idNone},
    {idPhotoshopFolderInput, "PhotoshopFolderInput", K::Edit, Page(wpPhotoshopPlugin), {8, 152, 305, 21},
     "", cfNone, 1, idNone},
    {idPhotoshopBrowseButton, "PhotoshopBrowseButton", K::Button, Page(wpPhotoshopPlugin), {238, 176, 75, 25},
     "&Browse...", cfNone, 2, idNone},

    Heading(idDestHeadingLabel, "DestHeadingLabel", wpDest, 237, "Destination Folder"),
    {idDestDescriptionLabel, "DestDescriptionLabel", K::Label, Page(wpDest), {8, 32, 293, 49},
     "Setup needs to know where to install $InstallDescription. Please type a folder below, or use the "
     "Browse button to choose a folder.", cfWraps, -1, idNone},
    {idDestStepLabel, "DestStepLabel", K::Label, Page(wpDest), {8, 84, 269, 33},
     "If you are unsure, it is recommended to use the default folder shown below.", cfWraps, -1, idNone},
    {idDestFolderLabel, "DestFolderLabel", K::Label, Page(wpDest), {8, 124, 105, 17},
     "Destination &Folder:", cfNone, -1, idDestFolderInput},
    {idDestFolderInput, "DestFolderInput", K::Edit, Page(wpDest), {8, 140, 305, 21}, "", cfNone, 0, idNone},
    {idDestBrowseButton, "DestBrowseButton", K::Button, Page(wpDest), {238, 164, 75, 23},
     "&Browse...", cfNone, 1, idNone},

    Heading(idNameHeadingLabel, "NameHeadingLabel", wpPersonalize, 237, "Personalization"),
    {idNameInfoLabel, "NameInfoLabel", K::Label, Page(wpPersonalize), {8, 32, 293, 49},
     "Please enter your full name below to identify yourself. $PersonalizeInfo", cfWraps, -1, idNone},
    {idNameLabel, "NameLabel", K::Label, Page(wpPersonalize), {8, 88, 269, 17},
     "Your N&ame:", cfNone, -1, idNameInput},
    {idNameInput, "NameInput", K::Edit, Page(wpPersonalize), {8, 104, 305, 21}, "", cfNone, 0, idNone},

    Heading(idIconHeadingLabel, "IconHeadingLabel", wpIcon, 237, "Create Shortcuts"),
    {idIconStartMenuLabel, "IconStartMenuLabel", K::Label, Page(wpIcon), {8, 32, 293, 33},
     "Do you want Setup to create a shortcut to $InstallDescription in the Start Menu?", cfWraps, -1, idNone},
    {idIconStartMenuCheck, "IconStartMenuCheck", K::CheckBox, Page(wpIcon), {8, 68, 205, 17},
     "Create a shortcut in the &Start Menu", cfChecked, 0, idNone},
    {idIconDesktopLabel, "IconDesktopLabel", K::Label, Page(wpIcon), {8, 108, 293, 33},
     "Do you want Setup to create a shortcut to $InstallDescription on the desktop?", cfWraps, -1, idNone},
    {idIconDesktopCheck, "IconDesktopCheck", K::CheckBox, Page(wpIcon), {8, 144, 205, 17},
     "Create a shortcut on the &desktop", cfChecked, 1, idNone},
    {idInstallLabel, "InstallLabel", K::Label, Page(wpIcon), {8, 184, 221, 17},
     "Click Install to start copying files.", cfNone, -1, idNone},

    Heading(idCopyHeadingLabel, "CopyHeadingLabel", wpCopy, 237, "Copying Files"),
    {idCopyDescriptionLabel, "CopyDescriptionLabel", K::Label, Page(wpCopy), {8, 32, 269, 17},
     "Setup is now copying files to your computer.", cfNone, -1, idNone},
    {idCopyStatusLabel, "CopyStatusLabel", K::Label, Page(wpCopy), {8, 84, 269, 17},
     "Creating shortcuts...", cfNone, -1, idNone},
    // A progress bar takes no focus; its tab position is only its place in the order.
    {idCopyProgressBar, "CopyProgressBar", K::ProgressBar, Page(wpCopy), {8, 104, 305, 13},
     "", cfNone, -1, idNone},

    Heading(idReadyHeadingLabel, "ReadyHeadingLabel", wpReady, 237, "Installation Completed"),
    {idReadyDescriptionLabel, "ReadyDescriptionLabel", K::Label, Page(wpReady), {8, 32, 293, 69},
     "CompleteMessage", cfWraps, -1, idNone},
    {idReadyReadmeLabel, "ReadyReadmeLabel", K::Label, Page(wpReady), {8, 108, 225, 21},
     "Do you want to view Readme.txt now?", cfWraps, -1, idNone},
    {idReadyReadmeCheck, "ReadyReadmeCheck", K::CheckBox, Page(wpReady), {8, 128, 169, 17},
     "Show &Readme.txt", cfChecked, 1, idNone},
    {idReadyStartLabel, "ReadyStartLabel", K::Label, Page(wpReady), {8, 168, 225, 21},
     "Do you want to start $ProductName now?", cfWraps, -1, idNone},
    {idReadyStartCheck, "ReadyStartCheck", K::CheckBox, Page(wpReady), {8, 188, 185, 17},
     "&Start $ProductName", cfChecked, 0, idNone},
};
// clang-format on

} // namespace

const TControlDesign* DesignedControls() {
    return Controls;
}

size_t DesignedControlCount() {
    return sizeof Controls / sizeof Controls[0];
}

const TControlDesign* FindDesign(TControlId id) {
    for (const TControlDesign& design : Controls)
        if (design.Id == id)
            return &design;
    return nullptr;
}

const TControlDesign* FindDesign(const char* name) {
    for (const TControlDesign& design : Controls)
        if (std::strcmp(design.Name, name) == 0)
            return &design;
    return nullptr;
}

std::vector<const TControlDesign*> CreationOrder() {
    std::vector<const TControlDesign*> order;
    // Depth first from the form, so that every parent exists before its children.
    auto addChildrenOf = [&](TControlId parent, auto& self) -> void {
        std::vector<const TControlDesign*> children;
        for (const TControlDesign& design : Controls)
            if (design.Parent == parent)
                children.push_back(&design);
        // Tab stops by tab order; a stable sort keeps the table order among the others.
        std::stable_sort(children.begin(), children.end(),
                         [](const TControlDesign* a, const TControlDesign* b) {
                             const bool aStop = a->TabOrder >= 0, bStop = b->TabOrder >= 0;
                             if (aStop != bStop)
                                 return aStop;
                             return aStop && a->TabOrder < b->TabOrder;
                         });
        std::vector<const TControlDesign*> sorted;
        for (const TControlDesign* child : children) {
            if (child->FocusTarget != idNone)
                continue; // placed before its target below
            for (const TControlDesign* label : children)
                if (label->FocusTarget == child->Id)
                    sorted.push_back(label);
            sorted.push_back(child);
        }
        for (const TControlDesign* child : sorted) {
            order.push_back(child);
            self(child->Id, self);
        }
    };
    addChildrenOf(idNone, addChildrenOf);
    return order;
}
