// The uninstall controller under Wine: the run's messages and decisions with the dialogs
// answered by the test (the rights probe it asks is tested in tests/shell/RightsTests.cpp).
// The confirmed run, which ends with the self-removal batch file, is tested end to end by
// uninstall-run.sh.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "common/CommonUtils.h"
#include "common/FileSystem.h"
#include "common/Stream.h"
#include "messages/Strings.h"
#include "setup/SetupUninstaller.h"
#include "setupdata/UninstallRecord.h"
#include "tests/support/ShownMessage.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestValues.h"

namespace {

// ---- The uninstall run ------------------------------------------------------------------

// The test answers the controller's dialogs: it records each message and answers a
// confirmation with Answer.
class UninstallRunTest : public ::testing::Test, public ISetupDialogs {
protected:
    TTestFolder Folder;
    std::string ProductFile = Folder.PathOf("Velmora.exe");
    std::vector<TShownMessage> Shown;
    TMessageResult Answer = mrNo;

    void SetUp() override { std::ofstream(ProductFile) << "product"; }

    TMessageResult ShowMessage(const std::string& text, TMessageKind kind) override {
        Shown.push_back({text, kind});
        return kind == mkConfirmation ? Answer : mrOK;
    }
    bool ShowProgress(const std::string& caption, const std::string& text,
                      const std::function<bool(const TItemProgress&)>& work) override {
        Shown.push_back({caption + ": " + text, mkInformation});
        return work([](size_t, size_t) {});
    }

    // An uninstaller as the install engine writes it: a small image, flagged, with the record
    // appended at DataOffset; its log holds the product file.
    std::unique_ptr<TSetupUninstaller> MakeController(const TProgramVersion& version,
                                                      const std::string& product) {
        const std::string path = Folder.PathOf("Uninst.exe");
        {
            TFileStream file(path, TFileMode::fmCreate);
            std::string image(64, '\0');
            image[0] = 'M';
            image[1] = 'Z';
            file.Write(image.data(), static_cast<int32_t>(image.size()));
            file.SetPosition(48);
            file.WriteInt32(64);
            file.WriteInt32(1);
            file.SetPosition(64);
            WriteUninstallRecord(file, version, {"F" + ProductFile}, product.data(),
                                 static_cast<int32_t>(product.size()));
        }
        auto controller = std::make_unique<TSetupUninstaller>(*this, path);
        controller->OnCheckRights = [] { return true; };
        return controller;
    }
};

TEST_F(UninstallRunTest, ProductNameComesFromTheRecord) {
    EXPECT_EQ(MakeController(MakeVersion(5, 0, 4), "Velmora")->ProductName, "Velmora");
    EXPECT_EQ(MakeController(MakeVersion(5, 0, 4), "")->ProductName, "");
}

TEST_F(UninstallRunTest, MissingRightsOnlyWarn) {
    auto controller = MakeController(MakeVersion(5, 0, 4), "Velmora");
    controller->OnCheckRights = [] { return false; };
    controller->Execute();
    const std::vector<TShownMessage> expected = {{"You must have Administrator or Power User rights to "
                                                  "uninstall Velmora.\rPlease log on as a different "
                                                  "user and try again.",
                                                  mkWarning}};
    EXPECT_EQ(Shown, expected);
    EXPECT_TRUE(FileExists(ProductFile));
}

TEST_F(UninstallRunTest, ConfirmationNamesTheVersionFromMajorOneOn) {
    const struct {
        TProgramVersion Version;
        const char* Name;
    } cases[] = {
        {MakeVersion(5, 0, 4), "Velmora 5.04"},
        {MakeVersion(1, 2, 0), "Velmora 1.20"},
        {MakeVersion(0, 9, 1), "Velmora"},
        {MakeVersion(0, 0, 0), "Velmora"},
    };
    for (const auto& c : cases) {
        Shown.clear();
        auto controller = MakeController(c.Version, "Velmora");
        controller->Execute();
        const std::vector<TShownMessage> expected = {
            {std::string("Are you sure you want to completely remove ") + c.Name +
                 "\rand all of its components?",
             mkConfirmation}};
        EXPECT_EQ(Shown, expected) << c.Name;
    }
}

} // namespace
