#include "tests/ui/FormTestSupport.h"

#include <filesystem>

namespace {

std::string TestPicture() {
    return ReadBytes(std::string(SETUP_TEST_DATA) + "\\Picture.jpg");
}

// Lets posted and sent messages reach their windows, as the message loop would.
void PumpMessages() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

} // namespace

TMessageResult TFakeWizardServices::ShowMessage(const std::string& text, TMessageKind kind) {
    Messages.push_back({text, kind});
    if (kind != mkConfirmation)
        return mrOK;
    if (Answers.empty()) {
        ADD_FAILURE() << "unexpected confirmation: " << text;
        return mrNo;
    }
    const TMessageResult answer = Answers.front();
    Answers.pop_front();
    return answer;
}

std::string TFakeWizardServices::BrowseForFolder(HWND, const std::string& prompt,
                                                 const std::string& initialFolder) {
    BrowsePrompts.push_back(prompt);
    return BrowseChoice ? *BrowseChoice : initialFolder;
}

void TFakeWizardServices::Install(TSetupInstaller& controller, ISetupProgress& progress) {
    ++InstallCalls;
    if (InstallRun)
        InstallRun(controller, progress);
}

std::string SetupIni(const std::string& moreSetupLines, const std::string& moreSections) {
    return std::string(MinimalSetupSection) + moreSetupLines + "\r\n" + moreSections;
}

void FormTest::Start(const std::string& ini, const std::optional<std::string>& bundleInfo) {
    TTestSetup setup;
    setup.Ini = ini;
    setup.BundleInfo = bundleInfo;
    ASSERT_TRUE(TryStart(setup)) << (Services.Errors.empty() ? "" : Services.Errors.front());
}

bool FormTest::TryStart(const TTestSetup& given) {
    TTestSetup setup = given;
    if (WithPicture)
        setup.Entries.push_back(TTestEntry::File("Setup.jpg", TestPicture()));
    if (setup.BundleInfo)
        setup.Entries.push_back(TTestEntry::File("BundleInfo.ini", *setup.BundleInfo));
    const std::string path = WriteSetup(Folder, setup);
    Services.Factory = [this, path] {
        auto controller = CreateInstaller(path, System);
        if (Adjust)
            Adjust(*controller);
        return controller;
    };
    Form = std::make_unique<TMainForm>(Services);
    if (!Form->Create())
        return false;
    Form->Show();
    PumpMessages();
    return true;
}

void FormTest::Click(int id) {
    HWND control = Form->Control(id);
    ASSERT_NE(control, nullptr) << "control " << id;
    ::SendMessageA(control, BM_CLICK, 0, 0);
    PumpMessagesUntilRunEnds();
}

std::vector<int> FormTest::NextUntilReady() {
    std::vector<int> pages{Page()};
    for (int i = 0; i < WizardPageCount && Page() != wpReady && !Form->Terminated(); ++i) {
        Next();
        pages.push_back(Page());
    }
    return pages;
}

void FormTest::NextTo(int page) {
    for (int i = 0; i < WizardPageCount && Page() != page; ++i)
        Next();
    ASSERT_EQ(Page(), page);
}

void FormTest::PressKey(WPARAM key, bool alt) {
    MSG message = {};
    message.hwnd = ::GetFocus();
    message.message = alt ? WM_SYSCHAR : WM_KEYDOWN;
    message.wParam = key;
    message.lParam = alt ? (1u << 29) : 0; // the context code marks Alt as held
    if (!Form->PreTranslateMessage(message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    PumpMessagesUntilRunEnds();
}

void FormTest::PumpMessagesUntilRunEnds() {
    // The installation run goes on a thread of its own, whose reports need this thread to
    // take messages, as the message loop would.
    do {
        PumpMessages();
    } while (Form->Installing() &&
             ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT) != WAIT_FAILED);
}

std::string FormTest::ExistingFolder(const std::string& name) {
    const std::string path = Folder.PathOf(name);
    std::filesystem::create_directories(path);
    return path;
}

std::string PageNames(const std::vector<int>& pages) {
    static const char* const names[] = {
        "Welcome", "License",     "BundleItems", "VstPlugins", "DigiPlugins", "PhotoshopPlugin",
        "Dest",    "Personalize", "Icon",        "Copy",       "Ready"};
    std::string text;
    for (int page : pages)
        text += std::string(text.empty() ? "" : " ") +
                (page >= 0 && page < WizardPageCount ? names[page] : std::to_string(page));
    return text;
}
