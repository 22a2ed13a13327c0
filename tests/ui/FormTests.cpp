// The wizard form in process, driven through its controls: which pages a configuration shows,
// the buttons on each page, Back, closing, the input checks with their messages, the
// destination recommendations, the check box handlers, the installation run's progress and
// errors, Finish, and the keyboard.

#include <gtest/gtest.h>

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "common/Errors.h"
#include "messages/Strings.h"
#include "tests/support/TestWindows.h"
#include "tests/ui/FormTestSupport.h"
#include "ui/ProgressDialog.h"

namespace {

const std::string AllPages =
    "[Pages]\r\nVstPluginFolder=1\r\nDigiPluginFolder=1\r\nPhotoshopPluginFolder=1\r\n"
    "Personalization=1\r\n";
const std::string BothShortcuts = "[Shortcuts]\r\nStartMenu=$ProgramFolder\\Vm.exe,Velmora\r\n"
                                  "Desktop=$ProgramFolder\\Vm.exe,Velmora\r\n";
const std::string BundleLines =
    "IsBundle=1\r\nBundleRegistryRoot=Software\\SetupControllerTests\\Velmora Plugins\r\n"
    "BundleItemName=Velmora $BundleItem\r\nBundleSelectHeading=Choose your plug-ins\r\n"
    "BundleSelectDescription=Select what to install:\r\n";

// --- page flow ----------------------------------------------------------------------------------

TEST_F(FormTest, PageSequencesOfConfigurations) {
    struct TCase {
        const char* Name;
        std::string Ini;
        std::optional<std::string> BundleInfo;
        std::vector<int> Pages;
        int InstallPage;
    };
    const TCase cases[] = {
        {"minimal", SetupIni(), std::nullopt, {wpWelcome, wpLicense, wpDest, wpCopy, wpReady}, wpDest},
        {"shortcuts",
         SetupIni("", BothShortcuts),
         std::nullopt,
         {wpWelcome, wpLicense, wpDest, wpIcon, wpCopy, wpReady},
         wpIcon},
        {"personalization without shortcuts",
         SetupIni("", "[Pages]\r\nPersonalization=1\r\n"),
         std::nullopt,
         {wpWelcome, wpLicense, wpDest, wpPersonalize, wpCopy, wpReady},
         wpPersonalize},
        {"bundle",
         SetupIni(BundleLines),
         std::string("Reverb=1.02\r\nDelay=2.0\r\n"),
         {wpWelcome, wpLicense, wpBundleItems, wpDest, wpCopy, wpReady},
         wpDest},
        {"every page",
         SetupIni(BundleLines, AllPages + BothShortcuts),
         std::string("Reverb=1.02\r\n"),
         {wpWelcome, wpLicense, wpBundleItems, wpVstPlugins, wpDigiPlugins, wpPhotoshopPlugin, wpDest,
          wpPersonalize, wpIcon, wpCopy, wpReady},
         wpIcon},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Start(c.Ini, c.BundleInfo);
        // The plug-in pages move on with an existing folder in their boxes.
        const std::string plugins = ExistingFolder("Plugins");
        Form->SetText(idVst2FolderInput, plugins);
        Form->SetText(idDigiFolderInput, plugins);
        Form->SetText(idPhotoshopFolderInput, plugins);
        Form->SetText(idNameInput, "Owner");
        Form->SetText(idDestFolderInput, Folder.PathOf("Product"));
        EXPECT_EQ(Form->InstallPage, c.InstallPage);
        std::vector<int> pages{Page()};
        Services.InstallCalls = 0;
        Services.InstallRun = [&](TSetupInstaller&, ISetupProgress&) { pages.push_back(Page()); };
        while (Page() != wpReady && pages.size() <= static_cast<size_t>(WizardPageCount)) {
            EXPECT_EQ(Form->Text(idNextButton), Form->InstallPage == Page() ? "&Install"
                                                : Page() == wpLicense       ? "&Yes"
                                                                            : "&Next >")
                << PageNames({Page()});
            Next();
            pages.push_back(Page());
        }
        EXPECT_EQ(PageNames(pages), PageNames(c.Pages));
        EXPECT_EQ(Services.InstallCalls, 1);
        EXPECT_TRUE(Services.Errors.empty());
        Form.reset();
    }
}

TEST_F(FormTest, MinimalConfigurationPutsTheInstallHintOnTheDestinationPage) {
    Start(SetupIni());
    EXPECT_EQ(Form->ParentId(idInstallLabel), PageId(wpDest));
    EXPECT_EQ(Form->Bounds(idInstallLabel).Top, ScaleValue(220));
    EXPECT_EQ(Form->Bounds(idInstallLabel).Left, ScaleValue(8));
    NextTo(wpDest);
    EXPECT_TRUE(Form->IsShown(idInstallLabel));
    EXPECT_EQ(Form->Text(idInstallLabel), "Click Install to start copying files.");
}

TEST_F(FormTest, ShortcutPageShowsOnlyTheOfferedQuestions) {
    struct TCase {
        const char* Name;
        std::string Shortcuts;
        bool DesktopShown;
        int HintTop; // design units
    };
    const TCase cases[] = {
        {"start menu only", "[Shortcuts]\r\nStartMenu=$ProgramFolder\\Vm.exe,Velmora\r\n", false, 108},
        {"desktop only", "[Shortcuts]\r\nDesktop=$ProgramFolder\\Vm.exe,Velmora\r\n", true, 184},
        {"both", BothShortcuts, true, 184},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Start(SetupIni("", c.Shortcuts));
        Form->SetText(idDestFolderInput, Folder.PathOf("Product"));
        NextTo(wpIcon);
        EXPECT_TRUE(Form->IsShown(idIconStartMenuLabel));
        EXPECT_TRUE(Form->IsShown(idIconStartMenuCheck));
        EXPECT_EQ(Form->IsShown(idIconDesktopLabel), c.DesktopShown);
        EXPECT_EQ(Form->IsShown(idIconDesktopCheck), c.DesktopShown);
        EXPECT_EQ(Form->ParentId(idInstallLabel), PageId(wpIcon));
        EXPECT_EQ(Form->Bounds(idInstallLabel).Top, ScaleValue(c.HintTop));
        // The check boxes count as they are, hidden or not.
        Next();
        EXPECT_EQ(Controller().SelectedShortcuts, TSetupShortcuts({scStartMenu, scDesktop}));
        Form.reset();
    }
}

TEST_F(FormTest, ButtonsOnEachKindOfPage) {
    Start(SetupIni());
    Form->SetText(idDestFolderInput, Folder.PathOf("Product"));
    struct TState {
        std::string Back, Next, Cancel;
        bool BackShown, BackEnabled, NextShown, CancelShown, CancelEnabled;
        int Focus;
    };
    auto state = [&] {
        return TState{
            Form->Text(idBackButton),      Form->Text(idNextButton),       Form->Text(idCancelButton),
            Form->IsShown(idBackButton),   Form->CanFocus(idBackButton),   Form->IsShown(idNextButton),
            Form->IsShown(idCancelButton), Form->CanFocus(idCancelButton), Form->FocusedId()};
    };
    auto expect = [&](const TState& s, const TState& wanted) {
        EXPECT_EQ(s.Back, wanted.Back);
        EXPECT_EQ(s.Next, wanted.Next);
        EXPECT_EQ(s.Cancel, wanted.Cancel);
        EXPECT_EQ(s.BackShown, wanted.BackShown);
        EXPECT_EQ(s.BackEnabled, wanted.BackEnabled);
        EXPECT_EQ(s.NextShown, wanted.NextShown);
        EXPECT_EQ(s.CancelShown, wanted.CancelShown);
        EXPECT_EQ(s.CancelEnabled, wanted.CancelEnabled);
        EXPECT_EQ(s.Focus, wanted.Focus);
    };
    {
        SCOPED_TRACE("Welcome");
        expect(state(), {"< &Back", "&Next >", "Cancel", true, false, true, true, true, idNextButton});
    }
    Next();
    {
        SCOPED_TRACE("License");
        expect(state(), {"< &Back", "&Yes", "&No", true, true, true, true, true, idNextButton});
    }
    Next();
    {
        SCOPED_TRACE("Dest");
        expect(state(), {"< &Back", "&Install", "Cancel", true, true, true, true, true, idDestFolderInput});
    }
    TState onCopy;
    Services.InstallRun = [&](TSetupInstaller&, ISetupProgress&) { onCopy = state(); };
    Next();
    {
        SCOPED_TRACE("Copy");
        EXPECT_FALSE(onCopy.BackShown);
        EXPECT_FALSE(onCopy.NextShown);
        EXPECT_TRUE(onCopy.CancelShown);
        EXPECT_FALSE(onCopy.CancelEnabled);
    }
    {
        SCOPED_TRACE("Ready");
        const TState s = state();
        EXPECT_EQ(s.Next, "&Finish");
        EXPECT_FALSE(s.BackShown);
        EXPECT_TRUE(s.NextShown);
        EXPECT_FALSE(s.CancelShown);
        EXPECT_EQ(s.Focus, idNextButton);
    }
}

TEST_F(FormTest, BackGoesToThePreviousShownPageAndStoresNothing) {
    Start(SetupIni("", "[Pages]\r\nVstPluginFolder=1\r\n"));
    Form->SetText(idVst2FolderInput, ExistingFolder("Vst"));
    NextTo(wpDest);
    const std::string stored = Controller().ProgramFolder;
    Form->SetText(idDestFolderInput, Folder.PathOf("Elsewhere"));
    Back();
    EXPECT_EQ(Page(), wpVstPlugins);
    EXPECT_EQ(Controller().ProgramFolder, stored);
    Back();
    EXPECT_EQ(Page(), wpLicense);
    Back();
    EXPECT_EQ(Page(), wpWelcome);
    // Back is disabled on the first page; a click there does nothing.
    Back();
    EXPECT_EQ(Page(), wpWelcome);
    EXPECT_TRUE(Services.Messages.empty());
}

TEST_F(FormTest, CloseRequestsAskBeforeCopyingOnly) {
    Start(SetupIni());
    const std::string question =
        "Velmora 5.12 has not been fully installed yet.\rAre you sure you want to cancel Velmora Setup?";

    // "&No" on the license page asks the cancel question; No stays there.
    Next();
    Services.Answers = {mrNo};
    Click(idCancelButton);
    ExpectOnlyMessage(question, mkConfirmation);
    EXPECT_EQ(Page(), wpLicense);
    EXPECT_FALSE(Form->Closed());

    // The title bar's close button asks the same; on the copying page nothing is asked and
    // the window stays.
    Form->SetText(idDestFolderInput, Folder.PathOf("Product"));
    bool closedDuringRun = true;
    Services.InstallRun = [&](TSetupInstaller&, ISetupProgress&) {
        ::SendMessageA(Form->Handle(), WM_CLOSE, 0, 0);
        Form->CancelButtonClick();
        closedDuringRun = Form->Closed();
    };
    NextTo(wpReady);
    EXPECT_FALSE(closedDuringRun);
    EXPECT_EQ(Services.Messages.size(), 1u);

    // On the last page the window closes without a question and without opening anything.
    ::SendMessageA(Form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(Form->Closed());
    EXPECT_EQ(Services.Messages.size(), 1u);
    EXPECT_TRUE(Services.Opened.empty());
}

TEST_F(FormTest, CancelAnsweredYesClosesTheWindow) {
    Start(SetupIni());
    Services.Answers = {mrYes};
    Click(idCancelButton);
    EXPECT_TRUE(Form->Closed());
    EXPECT_EQ(Services.InstallCalls, 0);
}

// --- creation -----------------------------------------------------------------------------------

TEST_F(FormTest, CaptionsAreExpandedAtCreation) {
    Start(SetupIni("InstallDescription=Velmora and its plug-ins\r\nPersonalizeInfo=It is stored.\r\n",
                   "[Complete]\r\nProduct=$ProgramFolder\\Vm5.exe\r\n"));
    EXPECT_EQ(TextOf(Form->Handle()), "Velmora Setup");
    EXPECT_EQ(Form->Text(idWelcomeHeadingLabel), "Welcome to Velmora Setup");
    EXPECT_EQ(Form->Text(idWelcomeDescriptionLabel),
              "This program will install Velmora 5.12 on your computer.");
    EXPECT_EQ(Form->Text(idVst2InstallCheck), "&Install the VST 2 plug-in version of Velmora");
    EXPECT_EQ(
        Form->Text(idDestDescriptionLabel),
        "Setup needs to know where to install Velmora and its plug-ins. Please type a folder below, or use "
        "the Browse button to choose a folder.");
    EXPECT_EQ(Form->Text(idNameInfoLabel),
              "Please enter your full name below to identify yourself. It is stored.");
    EXPECT_EQ(Form->Text(idReadyStartCheck), "&Start Velmora");
    EXPECT_EQ(
        Form->Text(idReadyDescriptionLabel),
        "Velmora has been installed successfully. You can start Velmora from the Start menu or the desktop. "
        "Please read the Readme.txt file for additional information.");
    EXPECT_EQ(Form->Text(idLicenseMemo).substr(0, 30), "License line 1\r\nLicense line 2");
    EXPECT_EQ(Form->Text(idDestFolderInput), Controller().ProgramFolder);
    EXPECT_FALSE(Controller().ProgramFolder.empty());
}

TEST_F(FormTest, BundleCaptionsAndItemCheckBoxes) {
    std::string items;
    for (int i = 1; i <= 10; ++i)
        items += "Item" + std::to_string(i) + "=1.0" + std::to_string(i % 10) + "\r\n";
    Start(SetupIni(BundleLines), items);
    EXPECT_EQ(Form->Text(idVst2InstallCheck), "&Install the VST 2 plug-ins for Velmora");
    EXPECT_EQ(Form->Text(idBundleHeadingLabel), "Choose your plug-ins");
    EXPECT_EQ(Form->Text(idBundleDescriptionLabel), "Select what to install:");
    const TBounds heading = Form->Bounds(idBundleHeadingLabel);
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        const int id = idBundleItemBase + i;
        EXPECT_EQ(Form->Text(id), Controller().BundleItem(i).Caption);
        EXPECT_TRUE(Form->Checked(id));
        EXPECT_EQ(Form->ParentId(id), PageId(wpBundleItems));
        EXPECT_EQ(Form->Bounds(id),
                  (TBounds{heading.Left, ScaleValue(60 + 28 * i), heading.Width, ScaleValue(24)}));
        EXPECT_TRUE(Form->FontOf(id).Bold);
        EXPECT_EQ(Form->FontOf(id).Face, Form->FontOf(idBundleDescriptionLabel).Face);
    }
    // The tenth box lies below the page's lower edge: the page does not scroll.
    EXPECT_GE(Form->Bounds(idBundleItemBase + 9).Top + Form->Bounds(idBundleItemBase + 9).Height,
              Form->Bounds(PageId(wpBundleItems)).Height);

    // Clearing every box keeps the wizard on the page.
    NextTo(wpBundleItems);
    for (int i = 0; i < 10; ++i)
        Click(idBundleItemBase + i);
    EXPECT_FALSE(Controller().BundleItem(0).Selected);
    Next();
    EXPECT_EQ(Page(), wpBundleItems);
    ExpectOnlyMessage("You need to install at least one item.", mkWarning);
    Click(idBundleItemBase + 3);
    EXPECT_TRUE(Controller().BundleItem(3).Selected);
    Next();
    EXPECT_EQ(Page(), wpDest);
}

TEST_F(FormTest, Vst3ControlsFollowTheDetection) {
    struct TCase {
        const char* Name;
        bool HasVst3;
        std::string ItemList;
        bool CheckShown, ListShown;
        int CheckTop; // design units
    };
    const TCase cases[] = {
        {"no VST 3 content", false, "", false, false, 220},
        {"VST 3 content, no item list", true, "", true, false, 220},
        {"VST 3 items", true, "Reverb, Delay", true, true, 204},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Adjust = [&](TSetupInstaller& controller) {
            controller.HasVst3Plugin = c.HasVst3;
            controller.Vst3ItemList = c.ItemList;
        };
        Start(SetupIni("", "[Pages]\r\nVstPluginFolder=1\r\n"));
        NextTo(wpVstPlugins);
        EXPECT_EQ(Form->IsShown(idVst3InstallCheck), c.CheckShown);
        EXPECT_EQ(Form->IsShown(idVst3DescriptionLabel), c.CheckShown);
        EXPECT_EQ(Form->IsShown(idVst3ListLabel), c.ListShown);
        EXPECT_EQ(Form->Bounds(idVst3InstallCheck).Top, ScaleValue(c.CheckTop));
        if (c.ListShown) {
            EXPECT_EQ(Form->Text(idVst3ListLabel), "(Only for Reverb, Delay)");
        }
        Form.reset();
    }
}

TEST_F(FormTest, ConstructionErrorEndsBeforeTheWizardShows) {
    TTestSetup setup;
    setup.Ini = "[Setup]\r\nProductName=Velmora\r\n";
    EXPECT_FALSE(TryStart(setup));
    EXPECT_TRUE(Form->Terminated());
    ASSERT_EQ(Services.Errors.size(), 1u);
    EXPECT_EQ(Services.Errors[0], "Invalid configuration in Setup.ini");
    EXPECT_EQ(Services.ErrorCaptions, std::vector<std::string>{"Setup"}); // no product name yet
    EXPECT_FALSE(::IsWindowVisible(Form->Handle()));
}

// A check that takes long shows its window once half a second has passed, and its bar follows
// the check while the window answers; the first page takes its place.
TEST_F(FormTest, LongArchiveCheckShowsItsWindowUntilTheFirstPage) {
    const DWORD formThread = ::GetCurrentThreadId();
    HWND checking = nullptr;
    bool hiddenAtFirst = false;
    DWORD_PTR position = 0;
    std::string caption, text;
    Services.Checking = [&](const std::function<void(int64_t, int64_t)>& progress) {
        hiddenAtFirst = FindThreadDialog(formThread) == nullptr;
        const DWORD start = ::GetTickCount();
        for (int64_t done = 0; !checking && ::GetTickCount() - start < 10000;
             done = std::min<int64_t>(done + 1, 89)) {
            progress(done, 100);
            ::Sleep(20);
            checking = FindThreadDialog(formThread);
        }
        caption = TextOf(checking);
        text = TextOf(::FindWindowExA(checking, nullptr, "Static", nullptr));
        progress(90, 100);
        while (checking && position != 90 && ::GetTickCount() - start < 10000 &&
               ::SendMessageTimeoutA(::GetDlgItem(checking, ProgressBarId), PBM_GETPOS, 0, 0, SMTO_NORMAL,
                                     1000, &position))
            ::Sleep(20);
    };
    Start(SetupIni());
    EXPECT_TRUE(hiddenAtFirst);
    ASSERT_NE(checking, nullptr);
    EXPECT_EQ(caption, "Setup");
    EXPECT_EQ(text, LoadMessage(msCheckingSetup));
    EXPECT_EQ(position, 90u);
    EXPECT_FALSE(::IsWindow(checking));
    EXPECT_TRUE(::IsWindowVisible(Form->Handle()));
    EXPECT_EQ(Page(), wpWelcome);
}

TEST_F(FormTest, MissingPictureEndsTheWizardLikeAConstructionError) {
    TTestSetup setup;
    setup.Ini = SetupIni();
    WithPicture = false;
    EXPECT_FALSE(TryStart(setup));
    EXPECT_TRUE(Form->Terminated());
    ASSERT_EQ(Services.Errors.size(), 1u);
    EXPECT_NE(Services.Errors[0].find("Setup.jpg"), std::string::npos) << Services.Errors[0];
    EXPECT_EQ(Form->CurrentPage(), -1);
}

// A setup program or uninstaller of the same product runs already: it was brought forward,
// and this one ends before its window shows, without a message.
TEST_F(FormTest, ProductClaimedElsewhereEndsWithoutAWord) {
    TTestSetup setup;
    setup.Ini = SetupIni();
    Services.ProductFree = false;
    EXPECT_FALSE(TryStart(setup));
    EXPECT_TRUE(Form->Terminated());
    EXPECT_EQ(Services.Claimed, std::vector<std::string>{"Velmora"});
    EXPECT_TRUE(Services.Errors.empty());
    EXPECT_TRUE(Services.Messages.empty());
    EXPECT_FALSE(::IsWindowVisible(Form->Handle()));
}

// --- input checks -------------------------------------------------------------------------------

TEST_F(FormTest, WelcomeWithoutRightsEndsTheProgram) {
    Start(SetupIni());
    Services.AdminRights = false;
    Next();
    EXPECT_TRUE(Form->Terminated());
    ExpectOnlyMessage(
        "You must have Administrator or Power User rights to install\rVelmora on this computer. Setup will "
        "now close.\r\rPlease log on as a different user and try again.",
        mkInformation);
    EXPECT_EQ(Services.InstallCalls, 0);
}

TEST_F(FormTest, PluginFolderChecks) {
    Start(SetupIni("", AllPages));
    const std::string existing = ExistingFolder("Host Plugins");
    struct TCase {
        int Page, Input;
        bool TSetupInstaller::*Flag;
        std::string TSetupInstaller::*Folder;
    };
    const TCase cases[] = {
        {wpVstPlugins, idVst2FolderInput, &TSetupInstaller::InstallVstPlugin,
         &TSetupInstaller::VstPluginFolder},
        {wpDigiPlugins, idDigiFolderInput, &TSetupInstaller::InstallDigiPlugin,
         &TSetupInstaller::DigiPluginFolder},
        {wpPhotoshopPlugin, idPhotoshopFolderInput, &TSetupInstaller::InstallPhotoshopPlugin,
         &TSetupInstaller::PhotoshopPluginFolder},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(PageNames({c.Page}));
        NextTo(c.Page);
        EXPECT_EQ(Form->FocusedId(), c.Input);
        // A folder that does not exist, exactly as typed, between the quotes.
        const std::string missing = Folder.PathOf("No Such Folder ");
        Form->SetText(c.Input, missing);
        Services.Messages.clear();
        Next();
        EXPECT_EQ(Page(), c.Page);
        ExpectOnlyMessage("The folder '" + missing + "' does not exist.\rPlease specify an existing folder.",
                          mkWarning);
        EXPECT_EQ(Form->FocusedId(), c.Input);
        EXPECT_TRUE(Controller().*c.Flag);
        EXPECT_NE(Controller().*c.Folder, missing);
        // An existing one is stored.
        Form->SetText(c.Input, existing);
        Next();
        EXPECT_NE(Page(), c.Page);
        EXPECT_EQ(Controller().*c.Folder, existing);
        EXPECT_TRUE(Controller().*c.Flag);
    }
}

TEST_F(FormTest, EmptiedVstFolderClearsTheFlagUntilTheBoxIsClickedAgain) {
    Start(SetupIni("", "[Pages]\r\nVstPluginFolder=1\r\n"));
    NextTo(wpVstPlugins);
    Form->SetText(idVst2FolderInput, "");
    Next();
    EXPECT_EQ(Page(), wpDest);
    EXPECT_TRUE(Services.Messages.empty());
    EXPECT_FALSE(Controller().InstallVstPlugin);
    EXPECT_TRUE(Form->Checked(idVst2InstallCheck));

    // A folder typed on a second visit is not used while the flag is off.
    Back();
    const std::string folder = ExistingFolder("Vst");
    Form->SetText(idVst2FolderInput, folder);
    Next();
    EXPECT_EQ(Page(), wpDest);
    EXPECT_FALSE(Controller().InstallVstPlugin);
    EXPECT_NE(Controller().VstPluginFolder, folder);

    // Off and on again: the folder controls follow the box, and the flag is back.
    Back();
    Click(idVst2InstallCheck);
    EXPECT_FALSE(Form->CanFocus(idVst2FolderInput));
    EXPECT_FALSE(Form->CanFocus(idVst2BrowseButton));
    EXPECT_FALSE(::IsWindowEnabled(Form->Control(idVst2FolderLabel)));
    Click(idVst2InstallCheck);
    EXPECT_TRUE(Form->CanFocus(idVst2FolderInput));
    EXPECT_TRUE(Controller().InstallVstPlugin);
    Next();
    EXPECT_EQ(Controller().VstPluginFolder, folder);
}

TEST_F(FormTest, Vst3ChoiceIsReadWhenTheVstPageIsLeft) {
    Adjust = [](TSetupInstaller& controller) { controller.HasVst3Plugin = true; };
    Start(SetupIni("", "[Pages]\r\nVstPluginFolder=1\r\n"));
    NextTo(wpVstPlugins);
    Form->SetText(idVst2FolderInput, ExistingFolder("Vst"));
    Click(idVst3InstallCheck);
    EXPECT_TRUE(Controller().InstallVst3Plugin); // not before Next
    Next();
    EXPECT_FALSE(Controller().InstallVst3Plugin);
}

TEST_F(FormTest, PhotoshopCheckBoxGovernsItsPlugin) {
    Start(SetupIni("", "[Pages]\r\nPhotoshopPluginFolder=1\r\n"));
    NextTo(wpPhotoshopPlugin);
    Form->SetText(idPhotoshopFolderInput, Folder.PathOf("Missing"));
    Click(idPhotoshopInstallCheck);
    EXPECT_FALSE(Form->CanFocus(idPhotoshopFolderInput));
    Next();
    EXPECT_EQ(Page(), wpDest);
    EXPECT_FALSE(Controller().InstallPhotoshopPlugin);
    EXPECT_TRUE(Services.Messages.empty());
}

TEST_F(FormTest, DestinationChecks) {
    Start(SetupIni());
    NextTo(wpDest);
    struct TCase {
        std::string Typed;
        bool Accepted;
        std::string Message; // the warning, when refused
        std::string Stored;  // ProgramFolder, when accepted
    };
    const std::string product = Folder.PathOf("Velmora 5");
    const TCase cases[] = {
        {"", false, "Could not create the folder '\\'.\rPlease specify a valid name.", ""},
        {"C:\\", false, "Could not create the folder 'C:\\'.\rPlease specify a valid name.", ""},
        {"Q:\\No Drive\\Velmora", false,
         "Could not create the folder 'Q:\\No Drive\\Velmora\\'.\rPlease specify a valid name.", ""},
        {product, true, "", product + "\\"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Typed);
        Services.Messages.clear();
        Form->SetText(idDestFolderInput, c.Typed);
        Next();
        if (c.Accepted) {
            EXPECT_EQ(Page(), wpReady);
            EXPECT_TRUE(Services.Messages.empty());
            EXPECT_EQ(Controller().ProgramFolder, c.Stored);
        } else {
            EXPECT_EQ(Page(), wpDest);
            ExpectOnlyMessage(c.Message, mkWarning);
            EXPECT_EQ(Form->FocusedId(), idDestFolderInput);
        }
    }
}

TEST_F(FormTest, DestinationRecommendationsForAnEarlierInstallation) {
    const std::string sameMajorQuestion = "It is recommended to install this new version of Velmora\rinto "
                                          "the same folder as your existing copy. "
                                          "This will ensure\rthat your currently installed version is "
                                          "upgraded properly.\r\rAre you sure you want "
                                          "to install it to a different folder?";
    const std::string otherMajorQuestion =
        "It is recommended to install this new version of Velmora\rinto a new folder to preserve your "
        "currently "
        "installed copy.\r\rAre you sure you want to overwrite your existing copy?";
    struct TCase {
        const char* Name;
        const char* InstalledVersion;
        const char* Typed;
        std::vector<TMessageResult> Answers;
        std::string Question; // empty: nothing is asked
        bool Accepted;
    };
    const TCase cases[] = {
        {"same major, same folder in other letters", "5.02", "c:\\apps\\velmora", {}, "", true},
        {"same major, other folder, No", "5.02", "C:\\Apps\\Other", {mrNo}, sameMajorQuestion, false},
        {"same major, other folder, Yes", "5.02", "C:\\Apps\\Other", {mrYes}, sameMajorQuestion, true},
        {"other major, same folder, No", "4.1", "C:\\APPS\\Velmora\\", {mrNo}, otherMajorQuestion, false},
        {"other major, same folder, Yes", "4.1", "C:\\Apps\\Velmora", {mrYes}, otherMajorQuestion, true},
        {"other major, other folder", "4.1", "C:\\Apps\\Other", {}, "", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Adjust = [&](TSetupInstaller& controller) {
            controller.IsInstalled = true;
            controller.InstalledLocation = "C:\\Apps\\Velmora\\";
            controller.InstalledVersion = Version(c.InstalledVersion);
        };
        Start(SetupIni());
        NextTo(wpDest);
        Services.Messages.clear();
        Services.Answers.assign(c.Answers.begin(), c.Answers.end());
        Form->SetText(idDestFolderInput, c.Typed);
        Services.InstallRun = [](TSetupInstaller&, ISetupProgress&) {};
        Next();
        if (c.Question.empty()) {
            EXPECT_TRUE(Services.Messages.empty());
        } else {
            ExpectOnlyMessage(c.Question, mkConfirmation);
        }
        EXPECT_EQ(Page(), c.Accepted ? wpReady : wpDest);
        if (!c.Accepted) {
            EXPECT_EQ(Form->FocusedId(), idDestFolderInput);
        }
        Form.reset();
    }
}

TEST_F(FormTest, PersonalizationNeedsAName) {
    Start(SetupIni("", "[Pages]\r\nPersonalization=1\r\n"));
    Form->SetText(idDestFolderInput, Folder.PathOf("Product"));
    NextTo(wpPersonalize);
    EXPECT_EQ(Form->FocusedId(), idNameInput);
    Form->SetText(idNameInput, "");
    Next();
    EXPECT_EQ(Page(), wpPersonalize);
    ExpectOnlyMessage("Please enter your name first.", mkWarning);
    EXPECT_EQ(Form->FocusedId(), idNameInput);
    // One space is a name.
    Form->SetText(idNameInput, " ");
    Next();
    EXPECT_EQ(Page(), wpReady);
    EXPECT_EQ(Controller().OwnerName, " ");
}

TEST_F(FormTest, BrowseButtonsWriteTheChosenFolderBack) {
    Start(SetupIni("", AllPages));
    struct TCase {
        int Page, Button, Input;
        std::string Prompt;
    };
    const TCase cases[] = {
        {wpVstPlugins, idVst2BrowseButton, idVst2FolderInput,
         "Select the VST plug-in folder on your computer:"},
        {wpDigiPlugins, idDigiBrowseButton, idDigiFolderInput,
         "Select the Pro Tools plug-in folder on your computer:"},
        {wpPhotoshopPlugin, idPhotoshopBrowseButton, idPhotoshopFolderInput,
         "Select the Adobe Photoshop plug-ins folder on your computer:"},
        {wpDest, idDestBrowseButton, idDestFolderInput,
         "Select the folder in which Velmora will be installed:"},
    };
    const std::string chosen = ExistingFolder("Chosen");
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Prompt);
        NextTo(c.Page);
        Form->SetText(c.Input, "C:\\Before");
        Services.BrowseChoice.reset(); // cancelled: the text stays
        Click(c.Button);
        EXPECT_EQ(Form->Text(c.Input), "C:\\Before");
        Services.BrowseChoice = chosen;
        Click(c.Button);
        EXPECT_EQ(Form->Text(c.Input), chosen);
        ASSERT_FALSE(Services.BrowsePrompts.empty());
        EXPECT_EQ(Services.BrowsePrompts.back(), c.Prompt);
    }
}

// --- the installation run -------------------------------------------------------------------------

TEST_F(FormTest, ProgressAndStatusReachTheCopyingPage) {
    Start(SetupIni());
    Form->SetText(idDestFolderInput, Folder.PathOf("Product"));
    std::vector<std::pair<int, std::string>> seen;
    const DWORD windowThread = ::GetCurrentThreadId();
    Services.InstallRun = [&](TSetupInstaller& controller, ISetupProgress& progress) {
        // The run goes on a thread of its own; the product's libraries are called on the
        // window's.
        EXPECT_NE(::GetCurrentThreadId(), windowThread);
        DWORD calledOn = 0;
        progress.CallOnWindowThread([&] { calledOn = ::GetCurrentThreadId(); });
        EXPECT_EQ(calledOn, windowThread);
        EXPECT_EQ(&controller, Form->Controller.get());
        EXPECT_EQ(&progress, static_cast<ISetupProgress*>(Form.get()));
        EXPECT_EQ(Page(), wpCopy);
        EXPECT_TRUE(Form->IsShown(idCopyProgressBar));
        EXPECT_EQ(Form->Text(idCopyStatusLabel), "Creating shortcuts...");
        progress.SetProgress(0);
        progress.SetStatus("Preparing installation...");
        progress.SetProgress(25);
        progress.SetStatus("Copying files...");
        seen.emplace_back(
            static_cast<int>(::SendMessageA(Form->Control(idCopyProgressBar), PBM_GETPOS, 0, 0)),
            Form->Text(idCopyStatusLabel));
    };
    NextTo(wpReady);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], std::make_pair(25, std::string("Copying files...")));
    EXPECT_EQ(Services.Pauses, (std::vector<DWORD>{500, 500}));
}

TEST_F(FormTest, InstallationErrorEndsOnTheCopyingPage) {
    Start(SetupIni());
    Form->SetText(idDestFolderInput, Folder.PathOf("Product"));
    Services.InstallRun = [](TSetupInstaller&, ISetupProgress&) {
        throw ESetupError(LoadMessage(msNotEnoughSpace));
    };
    NextTo(wpDest);
    Next();
    EXPECT_EQ(Page(), wpCopy);
    EXPECT_TRUE(Form->Terminated());
    ASSERT_EQ(Services.Errors.size(), 1u);
    EXPECT_EQ(
        Services.Errors[0],
        "There is not enough space on the destination drive.\rPlease free up some space and then try again");
    EXPECT_EQ(Services.ErrorCaptions, std::vector<std::string>{"Velmora Setup"});
    // A stray Enter meets the hidden Next button and does nothing.
    Next();
    EXPECT_EQ(Page(), wpCopy);
}

// The program ends while the run is inside a report to the window, which this thread does not
// take: the form's end must let it through, and a call for the window's thread then raises
// rather than leaving the product's libraries silently uncalled.
TEST_F(FormTest, FormEndingUnderTheRunLetsItsReportThroughAndFailsItsWindowCall) {
    Start(SetupIni());
    Form->SetText(idDestFolderInput, Folder.PathOf("Product"));
    NextTo(wpDest);
    const UniqueHandle reporting(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    bool called = false;
    std::string raised;
    Services.InstallRun = [&](TSetupInstaller&, ISetupProgress& progress) {
        ::SetEvent(reporting.Get());
        progress.SetProgress(10);
        try {
            progress.CallOnWindowThread([&] { called = true; });
        } catch (const ESetupError& error) {
            raised = error.what();
        }
    };
    // The click alone, without taking the run's messages afterwards.
    ::SendMessageA(Form->Control(idNextButton), BM_CLICK, 0, 0);
    ASSERT_EQ(::WaitForSingleObject(reporting.Get(), 10000), WAIT_OBJECT_0);
    ::Sleep(100); // into SendMessage
    Form.reset();
    EXPECT_FALSE(called);
    EXPECT_EQ(raised, "Setup could not initialize the product's components: its window has closed.");
}

// --- finish --------------------------------------------------------------------------------------

TEST_F(FormTest, FinishOpensTheCheckedFiles) {
    struct TCase {
        const char* Name;
        std::string Complete;
        bool Readme, Start;
        std::vector<std::pair<std::string, std::string>> Opened; // with {folder} for ProgramFolder
    };
    const std::string both =
        "[Complete]\r\nReadme=$ProgramFolder\\Readme.txt\r\nProduct=$ProgramFolder\\Vm5.exe\r\n";
    const TCase cases[] = {
        {"both", both, true, true, {{"{folder}Readme.txt", ""}, {"{folder}Vm5.exe", "{folder}"}}},
        {"readme only", both, true, false, {{"{folder}Readme.txt", ""}}},
        {"nothing", both, false, false, {}},
        {"no product: its question is hidden",
         "[Complete]\r\nReadme=$ProgramFolder\\Readme.txt\r\n",
         true,
         true,
         {{"{folder}Readme.txt", ""}}},
        {"no readme file: nothing to open", "[Complete]\r\n", true, true, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Start(SetupIni("", c.Complete));
        Form->SetText(idDestFolderInput, Folder.PathOf("Product"));
        NextTo(wpReady);
        EXPECT_TRUE(Form->IsShown(idReadyReadmeCheck));
        EXPECT_TRUE(Form->IsShown(idReadyReadmeLabel));
        if (Form->Checked(idReadyReadmeCheck) != c.Readme)
            Click(idReadyReadmeCheck);
        if (Form->IsShown(idReadyStartCheck) && Form->Checked(idReadyStartCheck) != c.Start)
            Click(idReadyStartCheck);
        Services.Opened.clear();
        Next();
        EXPECT_TRUE(Form->Closed());
        std::vector<std::pair<std::string, std::string>> wanted;
        const std::string folder = Folder.PathOf("Product\\");
        for (auto [file, working] : c.Opened) {
            file.replace(0, 8, folder);
            if (!working.empty())
                working = folder;
            wanted.emplace_back(file, working);
        }
        EXPECT_EQ(Services.Opened, wanted);
        Form.reset();
    }
}

// --- keyboard ------------------------------------------------------------------------------------

TEST_F(FormTest, EnterPressesNextAndEscapeCancels) {
    Start(SetupIni());
    Next();
    // The read-only license text passes Tab, Escape and Enter on: Tab moves on, Escape is
    // "&No", Enter is "&Yes".
    ::SetFocus(Form->Control(idLicenseMemo));
    PressKey(VK_TAB);
    EXPECT_EQ(Form->FocusedId(), idBackButton);
    ::SetFocus(Form->Control(idLicenseMemo));
    Services.Answers = {mrNo};
    PressKey(VK_ESCAPE);
    EXPECT_EQ(Services.Messages.size(), 1u);
    Services.Messages.clear();
    ::SetFocus(Form->Control(idLicenseMemo));
    PressKey(VK_RETURN);
    EXPECT_EQ(Page(), wpDest);
    ASSERT_EQ(Form->FocusedId(), idDestFolderInput);
    Form->SetText(idDestFolderInput, "");
    PressKey(VK_RETURN);
    EXPECT_EQ(Page(), wpDest);
    EXPECT_EQ(Services.Messages.size(), 1u);
    // Escape is the Cancel button.
    Services.Answers = {mrNo};
    PressKey(VK_ESCAPE);
    ASSERT_EQ(Services.Messages.size(), 2u);
    EXPECT_EQ(Services.Messages[1].Kind, mkConfirmation);
    EXPECT_FALSE(Form->Closed());
    // Enter on a focused push button presses that button.
    ::SendMessageA(Form->Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Form->Control(idBackButton)),
                   TRUE);
    PressKey(VK_RETURN);
    EXPECT_EQ(Page(), wpLicense);
}

TEST_F(FormTest, TabOrderFollowsTheDesign) {
    Start(SetupIni("", "[Pages]\r\nVstPluginFolder=1\r\n"));
    NextTo(wpVstPlugins);
    // On this page the VST 3 box is hidden (no VST 3 content), so it is skipped.
    const std::vector<int> wanted = {idVst2FolderInput, idVst2BrowseButton, idVst2InstallCheck,
                                     idBackButton,      idNextButton,       idCancelButton};
    std::vector<int> seen;
    HWND control = Form->Control(idVst2FolderInput);
    for (size_t i = 0; i < wanted.size(); ++i) {
        seen.push_back(::GetDlgCtrlID(control));
        control = ::GetNextDlgTabItem(Form->Handle(), control, FALSE);
    }
    EXPECT_EQ(seen, wanted);
    EXPECT_EQ(::GetDlgCtrlID(control), idVst2FolderInput);
}

TEST_F(FormTest, LabelAcceleratorsFocusTheirInputs) {
    Start(SetupIni("", AllPages));
    struct TCase {
        int Page;
        char Key;
        int Input;
    };
    const TCase cases[] = {{wpVstPlugins, 'f', idVst2FolderInput},
                           {wpDigiPlugins, 'f', idDigiFolderInput},
                           // Its label focuses nothing: the focus stays.
                           {wpPhotoshopPlugin, 'f', idNextButton},
                           {wpDest, 'f', idDestFolderInput},
                           {wpPersonalize, 'a', idNameInput}};
    const std::string plugins = ExistingFolder("Plugins");
    Form->SetText(idVst2FolderInput, plugins);
    Form->SetText(idDigiFolderInput, plugins);
    Form->SetText(idPhotoshopFolderInput, plugins);
    Form->SetText(idDestFolderInput, Folder.PathOf("Product"));
    for (const TCase& c : cases) {
        SCOPED_TRACE(PageNames({c.Page}));
        NextTo(c.Page);
        ::SendMessageA(Form->Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Form->Control(idNextButton)),
                       TRUE);
        ASSERT_EQ(Form->FocusedId(), idNextButton);
        PressKey(c.Key, true);
        EXPECT_EQ(Form->FocusedId(), c.Input);
    }
}

} // namespace
