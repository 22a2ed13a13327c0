// The wizard form in the test's own process: setup data built in a scratch folder, the
// controller created over it, and the dialogs, the rights probe, the folder browser, the shell
// and the installation run answered by a test double that records what was asked.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/setup/SetupTestSupport.h"
#include "tests/support/ShownMessage.h"
#include "ui/FormMain.h"

// A length that the form computes at run time, scaled as the form scales it on this screen.
inline int ScaleValue(int length) {
    return MeasureLayoutScale(ScreenPixelsPerInch()).Value(length);
}

class TFakeWizardServices final : public IWizardServices {
public:
    std::function<std::unique_ptr<TSetupInstaller>()> Factory;
    std::vector<TShownMessage> Messages;
    // Answers to confirmations, in order; a confirmation nobody expected fails the test.
    std::deque<TMessageResult> Answers;
    std::vector<std::string> Errors;
    std::vector<std::string> ErrorCaptions;
    bool AdminRights = true;
    std::vector<std::string> BrowsePrompts;
    std::optional<std::string> BrowseChoice;                 // none: the user cancels
    std::vector<std::pair<std::string, std::string>> Opened; // file, working folder
    // Whether the product is free to claim, and the names claimed.
    bool ProductFree = true;
    std::vector<std::string> Claimed;
    std::function<void(TSetupInstaller&, ISetupProgress&)> InstallRun;
    int InstallCalls = 0;
    std::vector<DWORD> Pauses;

    // Runs, when set, before the factory, on the thread that creates the controller.
    std::function<void(const std::function<void(int64_t, int64_t)>& progress)> Checking;

    std::unique_ptr<TSetupInstaller>
    CreateController(const std::function<void(int64_t, int64_t)>& progress) override {
        if (Checking)
            Checking(progress);
        return Factory();
    }
    TMessageResult ShowMessage(const std::string& text, TMessageKind kind) override;
    void ShowErrorBox(const std::string& caption, const std::string& message) override {
        ErrorCaptions.push_back(caption);
        Errors.push_back(message);
    }
    bool HasAdminRights() override { return AdminRights; }
    std::string BrowseForFolder(HWND owner, const std::string& prompt,
                                const std::string& initialFolder) override;
    void OpenFile(const std::string& file, const std::string& workingFolder) override {
        Opened.emplace_back(file, workingFolder);
    }
    bool ClaimProduct(const std::string& productName) override {
        Claimed.push_back(productName);
        return ProductFree;
    }
    void Install(TSetupInstaller& controller, ISetupProgress& progress) override;
    // A clock that only the pauses move, so that the pauses asked for do not depend on the
    // machine's speed.
    void Pause(DWORD milliseconds) override {
        Pauses.push_back(milliseconds);
        Clock += milliseconds;
    }
    DWORD TickCount() override { return Clock; }

private:
    DWORD Clock = 0;
};

// A [Setup] section for the form tests (product Velmora, version 5.12 from the archive).
std::string SetupIni(const std::string& moreSetupLines = std::string(),
                     const std::string& moreSections = std::string());

class FormTest : public ::testing::Test {
protected:
    TTestFolder Folder;
    TTestSystem System;
    TFakeWizardServices Services;
    // Changes the controller's fields after its construction, before the form reads them.
    std::function<void(TSetupInstaller&)> Adjust;
    // Whether the setup data carries Setup.jpg.
    bool WithPicture = true;
    std::unique_ptr<TMainForm> Form;

    // Builds the setup data and creates and shows the wizard; asserts that it starts.
    void Start(const std::string& ini, const std::optional<std::string>& bundleInfo = std::nullopt);
    // Builds the setup data and creates the wizard; false when it did not start.
    bool TryStart(const TTestSetup& setup);

    TSetupInstaller& Controller() { return *Form->Controller; }
    int Page() const { return Form->CurrentPage(); }
    // Clicks a button or check box the way the mouse does, through its window.
    void Click(int id);
    // Next, Back; each asserts nothing by itself.
    void Next() { Click(idNextButton); }
    void Back() { Click(idBackButton); }
    // The pages Next passes from the current page until the copying page is done.
    std::vector<int> NextUntilReady();
    // Next until page is shown (at most 11 times).
    void NextTo(int page);
    // Lets messages reach their windows until an installation run that a click started has
    // ended and the window has taken its end.
    void PumpMessagesUntilRunEnds();
    // Sends a key through the dialog manager as the message loop does, to the focused control.
    void PressKey(WPARAM key, bool alt = false);
    // The one message shown so far is this one.
    void ExpectOnlyMessage(const std::string& text, TMessageKind kind) {
        EXPECT_EQ(Services.Messages, (std::vector<TShownMessage>{{text, kind}}));
    }
    // A folder that exists, below the scratch folder.
    std::string ExistingFolder(const std::string& name);
};

// The names of pages, for messages.
std::string PageNames(const std::vector<int>& pages);
