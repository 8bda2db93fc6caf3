// The controller and its login dialog, driven through real widgets.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "access/clsPassword.h"
#include "access/shared_state.h"
#include "dialog_fixture.h"
#include "store/errors.h"
#include "ui/errors.h"

using namespace dg;
using namespace dg::access;
using namespace dg::accesstest;
namespace fs = std::filesystem;

namespace {

using LoginTest = AccessDialogTest;

}  // namespace

TEST_F(LoginTest, CreationPreparesTheTableQuietlyAndOnlyOnce) {
    {
        auto c = Make();
        EXPECT_TRUE(fs::is_regular_file("mdb/Para.mdb"));
        EXPECT_EQ(CountAll(), 1);
        EXPECT_FALSE(AnyAccessFormOpen());
    }
    auto again = Make();
    EXPECT_EQ(CountAll(), 1);
    again.reset();
    EXPECT_TRUE(uit::Messages().empty());
    EXPECT_TRUE(events.empty());
}

TEST_F(LoginTest, CreationFailsOnAFileThatIsNoDatabase) {
    fs::create_directory("mdb");
    std::ofstream("mdb/Para.mdb") << "not a database at all, only some words of text";
    EXPECT_THROW(clsPassword{}, store::StoreError);
    EXPECT_TRUE(uit::Messages().empty());
}

// The failure is told on standard error there (no message box off the GUI
// thread), and the GUI is not started on the worker.
TEST_F(LoginTest, CreationOnAWorkerThreadFailsWithTheStoresDescription) {
    std::ofstream("mdb") << "a file where the folder should be";
    std::string failure;
    std::int32_t uiStatus = 0;
#ifdef _WIN32
    uit::QueueAnswer(ui::Answer::Ok);  // Windows shows a message box on any thread: answer it ahead
#endif
    std::thread([&] {
        try {
            clsPassword c;
        } catch (const ui::UiError& e) {
            uiStatus = e.status();
        } catch (const store::StoreError& e) {
            failure = e.what();
        }
    }).join();
    EXPECT_NE(uiStatus, ui::kStatusWrongThread);
    EXPECT_FALSE(failure.empty());
    ASSERT_EQ(uit::Messages().size(), 1u);  // the folder could not be made
    EXPECT_FALSE(uit::Messages()[0].text.empty());
    // The main thread's dialogs still work.
    fs::remove("mdb");
    auto c = Make();
    LogIn(*c, "管理员");
    EXPECT_EQ(events, (Events{{1, 199}}));
}

TEST_F(LoginTest, FreshDatabaseLogsInWithTheDefaultPassword) {
    auto c = Make();
    uit::Run([] {
        EXPECT_EQ(uit::TextOf("Combo1"), "管理员");
        EXPECT_EQ(uit::TextOf("txtPassword"), "");
        EXPECT_EQ(strLevel(), "管理员");
        EXPECT_EQ(strPassword(), "579");
        EXPECT_EQ(FocusName(), "cmdCancel") << "first in tab order";
        EXPECT_EQ(uit::DefaultBorderOf("frmLogin"), "cmdCancel") << "the border is where Enter goes";
        // The combo lies over the left end of its label, not beneath it.
        const auto label = uit::GeometryOf("lblLabels_0").value(), combo = uit::GeometryOf("Combo1").value();
        EXPECT_EQ(uit::ControlAt("frmLogin", combo.left + 2, combo.top + combo.height / 2), "Combo1");
        EXPECT_EQ(uit::ControlAt("frmLogin", label.left + 2, label.top + label.height / 2), "lblLabels_0");
    });
    uit::Focus("txtPassword");
    uit::Run([] { EXPECT_EQ(uit::DefaultBorderOf("frmLogin"), "cmdOK"); });
    uit::Click("cmdOK");
    c->ShowDialog();
    EXPECT_EQ(events, (Events{{1, 199}}));
    EXPECT_EQ(openAtEvent, std::vector<bool>{false}) << "closed before the event";
    EXPECT_TRUE(uit::Messages().empty());
}

TEST_F(LoginTest, FirstEngineerLoginAddsItsRowWithTheDefaultPassword) {
    auto c = Make();
    const auto before = LocalNow();
    LogIn(*c, "工程师");
    EXPECT_EQ(events, (Events{{2, 199}}));
    EXPECT_EQ(CountWhere(store::kPassColumnLevel, "工程师"), 1);
    const auto row = FirstRow("工程师");
    ASSERT_TRUE(row);
    EXPECT_EQ(row->password, "579");
    ExpectStampedSince(*row, before);
}

TEST_F(LoginTest, WrongOrEmptiedPasswordFailsAndTheBoxIsSelectedForRetyping) {
    auto c = Make();
    uit::Type("txtPassword", "12");
    uit::ClearText("txtPassword");
    uit::Run([] { EXPECT_EQ(strPassword(), "") << "an emptied box is not the default"; });
    uit::Click("cmdOK");
    uit::ClickMessageBox(ui::Answer::Ok);  // the real message box
    uit::Run([] {
        EXPECT_TRUE(uit::FormOpen("frmLogin"));
        EXPECT_EQ(FocusName(), "txtPassword");
        uit::QueueAnswer(ui::Answer::Ok);
    });
    uit::Type("txtPassword", "abc");
    uit::Click("cmdOK");
    uit::Type("txtPassword", "579");  // replaces the selected text
    uit::Run([] { EXPECT_EQ(uit::TextOf("txtPassword"), "579"); });
    uit::Click("cmdOK");
    c->ShowDialog();

    EXPECT_EQ(events, (Events{{0, 199}, {0, 199}, {1, 199}}));
    EXPECT_EQ(openAtEvent, (std::vector<bool>{true, true, false}));
    ASSERT_EQ(uit::Messages().size(), 2u);
    for (const auto& m : uit::Messages()) {
        EXPECT_EQ(m.text, "无效的密码，请重试！");
        EXPECT_EQ(m.title, "提示");
        EXPECT_EQ(m.buttons, ui::Buttons::Ok);
        EXPECT_EQ(m.icon, ui::Icon::None);
    }
}

TEST_F(LoginTest, LevelChoiceWhileLoggedInWarnsAndKeepsTheLevel) {
    auto c = Make();
    LogIn(*c, "工程师");
    // Reopened: the level in hand is the preset 管理员 again.
    uit::QueueAnswer(ui::Answer::Ok);
    uit::QueueAnswer(ui::Answer::Ok);
    uit::Run([] { EXPECT_EQ(strLevel(), "管理员"); });
    uit::Choose("Combo1", "工程师");
    uit::Run([] {
        EXPECT_EQ(uit::TextOf("Combo1"), "工程师");
        EXPECT_EQ(strLevel(), "管理员");
        EXPECT_EQ(FocusName(), "txtPassword");
    });
    uit::Choose("Combo1", "管理员");
    uit::Run([] { EXPECT_EQ(FocusName(), "txtPassword"); });
    uit::Click("cmdOK");
    c->ShowDialog();
    uit::Click("cmdCancel");
    c->ShowDialog();

    EXPECT_EQ(events, (Events{{2, 199}, {1, 199}, {1, 200}}));
    const auto& m = uit::Messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].text, "请先退出此次登陆！");
    EXPECT_EQ(m[0].title, "警告");
    EXPECT_EQ(m[0].icon, ui::Icon::Exclamation);
    EXPECT_EQ(m[1].text, "您已经在该权限下！");
    EXPECT_EQ(m[1].title, "提示");
    EXPECT_EQ(m[1].icon, ui::Icon::Exclamation);
}

TEST_F(LoginTest, KeysCancelAndFrameClose) {
    auto c = Make();
    uit::PressKey("txtPassword", uit::Key::Escape);  // the cancel button
    c->ShowDialog();
    uit::PressKey("cmdCancel", uit::Key::Enter);  // a focused button answers Enter itself
    c->ShowDialog();
    uit::Type("txtPassword", "xyz");
    uit::CloseFromFrame();
    c->ShowDialog();
    EXPECT_FALSE(uit::FormOpen("frmLogin"));
    EXPECT_EQ(strPassword(), "xyz") << "a frame close changes nothing";
    uit::PressKey("txtPassword", uit::Key::Enter);  // the default button
    c->ShowDialog();
    uit::PressKey("cmdCancel", uit::Key::Space);
    c->ShowDialog();

    EXPECT_EQ(events, (Events{{0, 200}, {0, 200}, {1, 199}, {1, 200}}));
    EXPECT_EQ(openAtEvent, (std::vector<bool>(4, false)));
    EXPECT_TRUE(uit::Messages().empty());
}

#ifdef _WIN32
// The window menu's own loop reads the keys: Esc closes the menu and Enter
// chooses in it; neither presses a button of the dialog behind it.
TEST_F(LoginTest, KeysInTheSystemMenuPressNoButton) {
    auto c = Make();
    uit::OpenSystemMenu();
    uit::PressKey("cmdCancel", uit::Key::Escape);  // closes the menu
    uit::PressKey("cmdCancel", uit::Key::Escape);  // leaves the menu mode
    uit::Run([this] { EXPECT_TRUE(uit::FormOpen("frmLogin") && events.empty()); });
    uit::OpenSystemMenu();
    uit::PressKey("cmdCancel", uit::Key::Enter);  // chooses in the menu, which then closes
    uit::Run([this] { EXPECT_TRUE(uit::FormOpen("frmLogin") && events.empty()); });
    uit::CloseFromFrame();
    c->ShowDialog();
    EXPECT_TRUE(events.empty());
}
#endif

TEST_F(LoginTest, StoreFailureDuringTheCheckNeverLogsIn) {
    auto c = Make();
    uit::Run([] { fs::rename("mdb/Para.mdb", "mdb/away.mdb"); });
    uit::QueueAnswer(ui::Answer::Ok);
    uit::Click("cmdOK");
    uit::Run([] {
        EXPECT_TRUE(uit::FormOpen("frmLogin"));
        fs::rename("mdb/away.mdb", "mdb/Para.mdb");
    });
    uit::Click("cmdCancel");
    c->ShowDialog();

    EXPECT_EQ(events, (Events{{0, 200}}));
    ASSERT_EQ(uit::Messages().size(), 1u);
    const auto& m = uit::Messages()[0];
    EXPECT_FALSE(m.text.empty());
    EXPECT_EQ(m.title, "提示");
    EXPECT_EQ(m.icon, ui::Icon::Critical);
    EXPECT_FALSE(fs::exists("mdb/away.mdb"));
}

TEST_F(LoginTest, ControllersShareTheTextsOfTheirThreadOnly) {
    auto first = Make();
    auto second = Make();
    LogIn(*first, "工程师");
    uit::Run([] { EXPECT_EQ(uit::TextOf("Combo1"), "工程师"); });
    uit::CloseFromFrame();
    second->ShowLanding();
    uit::Click("cmdCancel");
    second->ShowDialog();  // its own login dialog: nobody logged in
    EXPECT_EQ(events, (Events{{2, 199}, {0, 200}}));

    std::string otherLevel = "unset", otherPassword = "unset";
    std::int32_t status = 0;
    std::thread other([&] {
        otherLevel = strLevel();
        otherPassword = strPassword();
        strLevel() = "elsewhere";
        try {
            first->ShowDialog();
        } catch (const ui::UiError& e) {
            status = e.status();
        }
    });
    other.join();
    EXPECT_EQ(otherLevel, "");
    EXPECT_EQ(otherPassword, "");
    EXPECT_EQ(status, ui::kStatusWrongThread);
    EXPECT_EQ(strLevel(), "管理员");  // set by the second controller's login dialog
    EXPECT_EQ(strPassword(), "579");
}
