// Pictures of the four dialogs as Windows shows them: each is opened through
// its controller in a fresh working folder, saved as a PNG into the folder
// named by DG_SCREENSHOT_DIR (default: the build folder), and closed again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "access/clsPassword.h"
#include "shift/clsShiftClass.h"
#include "support/temp_dir.h"
#include "ui_testing/driver.h"

namespace {

namespace t = dg::ui::testing;

class DialogPictures : public dg::testsupport::TempDirTest {
protected:
    void SetUp() override {
        const char* dir = std::getenv("DG_SCREENSHOT_DIR");
        out_ = std::filesystem::absolute(dir && *dir ? dir : ".");
        TempDirTest::SetUp();
        t::Reset();
    }
    void TearDown() override {
        for (const auto& error : t::DriverErrors()) ADD_FAILURE() << error;
        TempDirTest::TearDown();
    }
    // Saves the open form, then the rest of the queue closes it.
    void Snap(const std::string& form, const std::string& file) {
        const std::string path = (out_ / file).string();
        t::Run([form, path] { EXPECT_TRUE(t::SaveScreenshot(form, path)) << path; });
    }
    std::filesystem::path out_;
};

TEST_F(DialogPictures, AllFourDialogs) {
    dg::access::clsPassword password;
    Snap("frmLogin", "login.png");
    t::Click("cmdCancel");
    password.ShowDialog();
    Snap("Revise", "revise.png");
    t::Click("Command2");
    password.ShowRevise();
    Snap("frmLanding", "landing.png");
    t::CloseFromFrame();
    password.ShowLanding();

    dg::shift::clsShiftClass shift;
    shift.ShowSetClass();
    t::Focus("cmdSave");  // off the shift-system box: its orange text shows, not a selection
    Snap("frmClass", "settings.png");
    t::Click("cmdExit");
    EXPECT_TRUE(t::RunQueued());
    for (const char* file : {"login.png", "revise.png", "landing.png", "settings.png"})
        EXPECT_GT(std::filesystem::file_size(out_ / file), 1000u) << file;
}

}  // namespace
