// The change-password and logout dialogs, driven through real widgets.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "access/clsPassword.h"
#include "access/shared_state.h"
#include "dialog_fixture.h"

using namespace dg;
using namespace dg::access;
using namespace dg::accesstest;
namespace fs = std::filesystem;

namespace {

using ReviseTest = AccessDialogTest;
using LandingTest = AccessDialogTest;

// Types the old password and leaves the box, which runs its check.
void ConfirmOld(const std::string& old) {
    uit::Focus("Text2");
    uit::Type("Text2", old);
    uit::Focus("Text1_1");
}

void TypeNew(const std::string& password, const std::string& confirmation) {
    uit::Type("Text1_1", password);
    uit::Type("Text1_2", confirmation);
}

}  // namespace

TEST_F(ReviseTest, ChangeEndToEndWritesTheRowOfTheLevelInHand) {
    auto c = Make();
    LogIn(*c, "工程师");
    const auto before = LocalNow();
    uit::Run([] {
        EXPECT_EQ(uit::TextOf("Combo1"), "工程师");
        EXPECT_EQ(FocusName(), "Combo1");
    });
    uit::Type("Text1_1", "early");  // locked until the old password is confirmed
    uit::Run([] {
        EXPECT_EQ(uit::TextOf("Text1_1"), "");
        EXPECT_TRUE(LockedOf("Text1_1"));
        EXPECT_TRUE(LockedOf("Text1_2"));
        EXPECT_FALSE(LockedOf("Text2"));
    });
    ConfirmOld("579");
    TypeNew("n3w", "n3w");
    uit::PressKey("Text1_2", uit::Key::Enter);  // no default button: nothing happens
    uit::Run([] { EXPECT_TRUE(uit::FormOpen("Revise")); });
    uit::Choose("Combo1", "管理员");  // display only
    uit::QueueAnswer(ui::Answer::Ok);
    uit::Click("Command1");
    c->ShowRevise();

    EXPECT_EQ(events, (Events{{2, 199}, {2, 199}}));
    EXPECT_EQ(openAtEvent.back(), false);
    ASSERT_EQ(uit::Messages().size(), 1u);
    EXPECT_EQ(uit::Messages()[0].text, "更改密码成功");
    EXPECT_EQ(uit::Messages()[0].title, "更改密码");
    EXPECT_EQ(uit::Messages()[0].icon, ui::Icon::Exclamation);
    EXPECT_EQ(strPassword(), "n3w");
    const auto row = FirstRow("工程师");
    ASSERT_TRUE(row);
    EXPECT_EQ(row->password, "n3w");
    ExpectStampedSince(*row, before);
    EXPECT_EQ(FirstRow("管理员")->password, "579");

    // The new password is the old one of the next change; 退出 stores nothing.
    strPassword() = "stale";
    ConfirmOld("n3w");
    uit::Type("Text1_1", "typed");
    uit::Run([] { EXPECT_EQ(uit::TextOf("Text1_1"), "typed"); });
    uit::Click("Command2");
    c->ShowRevise();
    EXPECT_EQ(uit::Messages().size(), 1u);
    EXPECT_EQ(events.size(), 2u);
    EXPECT_EQ(FirstRow("工程师")->password, "n3w");
}

TEST_F(ReviseTest, WrongOldPasswordLocksAndReturnsTheFocusWithOneMessage) {
    auto c = Make();
    LogIn(*c, "管理员");
    Sql("UPDATE tblPass SET 登陆密码 = 'Abc'");
    ConfirmOld("abc");                     // differs in letter case only
    uit::ClickMessageBox(ui::Answer::Ok);  // the real message box
    uit::Run([] {
        EXPECT_EQ(FocusName(), "Text2");
        EXPECT_TRUE(LockedOf("Text1_1"));
        EXPECT_TRUE(LockedOf("Text1_2"));
    });
    uit::ClearText("Text2");
    ConfirmOld("Abc");
    uit::Run([] {
        EXPECT_FALSE(LockedOf("Text1_1"));
        EXPECT_FALSE(LockedOf("Text1_2"));
    });
    uit::PressKey("Text1_1", uit::Key::Escape);  // no cancel button: Esc does nothing
    uit::Run([] { EXPECT_TRUE(uit::FormOpen("Revise")); });
    uit::CloseFromFrame();
    c->ShowRevise();

    EXPECT_FALSE(uit::FormOpen("Revise"));
    ASSERT_EQ(uit::Messages().size(), 1u) << "the check must not run again while its message is up";
    EXPECT_EQ(uit::Messages()[0].text, "您的原密码输入错误，请重新输入。");
    EXPECT_EQ(uit::Messages()[0].title, "更改密码");
    EXPECT_EQ(uit::Messages()[0].icon, ui::Icon::Exclamation);
    EXPECT_EQ(events.size(), 1u);
    EXPECT_EQ(FirstRow("管理员")->password, "Abc");
}

TEST_F(ReviseTest, MismatchReportsButStoresNothingAndEmptyIsRefusedSilently) {
    auto c = Make();
    LogIn(*c, "管理员");
    events.clear();
    openAtEvent.clear();
    ConfirmOld("579");
    TypeNew("abc", "abd");
    uit::QueueAnswer(ui::Answer::Ok);
    uit::QueueAnswer(ui::Answer::Ok);
    uit::Click("Command1");
    uit::ClearText("Text1_1");
    uit::ClearText("Text1_2");
    uit::Click("Command1");
    uit::Run([] { EXPECT_TRUE(uit::FormOpen("Revise")); });
    uit::CloseFromFrame();
    c->ShowRevise();

    EXPECT_EQ(events, (Events{{1, 199}}));
    EXPECT_EQ(openAtEvent, std::vector<bool>{true});
    EXPECT_EQ(MessageTexts(),
              (std::vector<std::string>{"两次输入的密码不同，请您重新输入", "密码为空危险，请输入密码！"}));
    EXPECT_EQ(strPassword(), "579");
    EXPECT_EQ(FirstRow("管理员")->password, "579");
}

TEST_F(ReviseTest, OldPasswordChangedAfterConfirmingWritesNothing) {
    auto c = Make();
    LogIn(*c, "管理员");
    ConfirmOld("579");
    TypeNew("n", "n");
    uit::Focus("Text2");
    uit::ClearText("Text2");
    uit::Type("Text2", "bad");
    uit::QueueAnswer(ui::Answer::Ok);
    uit::QueueAnswer(ui::Answer::Ok);
    uit::Click("Command1");  // leaving Text2 checks it first and locks the new boxes
    uit::CloseFromFrame();
    c->ShowRevise();

    // The check speaks when the focus leaves Text2; the click, if it still
    // lands, finds the new boxes locked and says the same.
    ASSERT_FALSE(uit::Messages().empty());
    for (const auto& text : MessageTexts()) EXPECT_EQ(text, "您的原密码输入错误，请重新输入。");
    EXPECT_EQ(events.size(), 1u);
    EXPECT_EQ(FirstRow("管理员")->password, "579");
    EXPECT_EQ(strPassword(), "579");
}

TEST_F(ReviseTest, ChangeIsBelievedOnlyOnceWritten) {
    auto c = Make();
    // 工程师 chosen but never checked: the level has no row.
    uit::Choose("Combo1", "工程师");
    uit::Click("cmdCancel");
    c->ShowDialog();
    ConfirmOld("579");  // no row: the password in hand stays the old one
    TypeNew("n", "n");
    uit::QueueAnswer(ui::Answer::Ok);
    uit::Click("Command1");
    uit::Run([] { EXPECT_TRUE(uit::FormOpen("Revise")); });
    uit::Click("Command2");
    c->ShowRevise();
    EXPECT_EQ(CountWhere(store::kPassColumnLevel, "工程师"), 0);
    EXPECT_EQ(strPassword(), "579");

    // The store failing at the write: its description, the dialog stays, a retry works.
    LogIn(*c, "管理员");
    ConfirmOld("579");
    TypeNew("n", "n");
    uit::Run([] { fs::rename("mdb/Para.mdb", "mdb/away.mdb"); });
    uit::QueueAnswer(ui::Answer::Ok);
    uit::Click("Command1");
    uit::Run([] {
        EXPECT_TRUE(uit::FormOpen("Revise"));
        EXPECT_EQ(strPassword(), "579");
        fs::rename("mdb/away.mdb", "mdb/Para.mdb");
        uit::QueueAnswer(ui::Answer::Ok);
    });
    uit::Click("Command1");
    c->ShowRevise();

    EXPECT_EQ(events, (Events{{0, 200}, {1, 199}, {1, 199}}));
    const auto& m = uit::Messages();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].text, "没有找到该用户级别，密码未修改！");
    EXPECT_EQ(m[1].text.rfind("无法更改“管理员”的密码：无法打开数据库“mdb\\Para.mdb”", 0), 0u) << m[1].text;
    EXPECT_EQ(m[2].text, "更改密码成功");
    for (int k : {0, 1}) {
        EXPECT_EQ(m[k].title, "更改密码");
        EXPECT_EQ(m[k].icon, ui::Icon::Critical);
    }
    EXPECT_EQ(strPassword(), "n");
    EXPECT_EQ(FirstRow("管理员")->password, "n");
}

TEST_F(LandingTest, ConfirmedLogoutReportsAndEndsTheLogin) {
    auto c = Make();
    LogIn(*c, "工程师");
    uit::Run([] { EXPECT_EQ(uit::TextOf("Combo1"), "工程师"); });
    uit::Click("Command1");
    uit::Run([] { EXPECT_FALSE(uit::FormOpen("frmLanding")) << "closed before the question"; });
    uit::ClickMessageBox(ui::Answer::Yes);  // the real message box
    c->ShowLanding();
    EXPECT_EQ(events, (Events{{2, 199}, {0, 200}}));
    ASSERT_EQ(uit::Messages().size(), 1u);
    const auto& m = uit::Messages()[0];
    EXPECT_EQ(m.text, "确定要退出？");
    EXPECT_EQ(m.title, "信息提示");
    EXPECT_EQ(m.buttons, ui::Buttons::YesNo);
    EXPECT_EQ(m.icon, ui::Icon::Question);
    EXPECT_EQ(strLevel(), "工程师");
    EXPECT_EQ(strPassword(), "579");

    // Not logged in any more: cancel reports 0, another level may be chosen.
    uit::Click("cmdCancel");
    c->ShowDialog();
    LogIn(*c, "工程师");
    EXPECT_EQ(events, (Events{{2, 199}, {0, 200}, {0, 200}, {2, 199}}));
    EXPECT_EQ(uit::Messages().size(), 1u);
}

TEST_F(LandingTest, AnsweringNoOrClosingTheFrameReportsNothing) {
    auto c = Make();
    LogIn(*c, "管理员");
    uit::QueueAnswer(ui::Answer::No);
    uit::Click("Command1");
    c->ShowLanding();
    EXPECT_FALSE(uit::FormOpen("frmLanding"));
    uit::CloseFromFrame();
    c->ShowLanding();
    uit::PressKey("Command1", uit::Key::Escape);  // no cancel button: Esc does nothing
    uit::Run([] { EXPECT_TRUE(uit::FormOpen("frmLanding")); });
    uit::CloseFromFrame();
    c->ShowLanding();
    EXPECT_EQ(events, (Events{{1, 199}}));
    EXPECT_EQ(uit::Messages().size(), 1u);

    // Still logged in: choosing the other level warns.
    uit::QueueAnswer(ui::Answer::Ok);
    uit::Choose("Combo1", "工程师");
    uit::Click("cmdCancel");
    c->ShowDialog();
    EXPECT_EQ(events.back(), (Ev{1, 200}));
    EXPECT_EQ(uit::Messages().back().text, "请先退出此次登陆！");
}

// Renders the three dialogs. DG_SCREENSHOT_DIR names the folder for the
// pictures (the docs folder when they are refreshed); otherwise the test's
// own folder.
TEST_F(LandingTest, DialogsRender) {
    const char* env = std::getenv("DG_SCREENSHOT_DIR");
    const fs::path dir = env && *env ? fs::path(env) : Dir();
    auto c = Make();
    uit::Type("txtPassword", "579");
    uit::Run([&] {
        EXPECT_EQ(CaptionOf("frmLogin"), "用户登陆");
        EXPECT_TRUE(uit::SaveScreenshot("frmLogin", (dir / "login.png").string()));
    });
    uit::Click("cmdOK");
    c->ShowDialog();
    uit::Type("Text2", "579");
    uit::Run([&] {
        EXPECT_EQ(CaptionOf("Revise"), "修改密码");
        EXPECT_EQ(uit::TextOf("Command1"), "  确定  ");
        EXPECT_EQ(uit::TextOf("Label1_2"), "确认新密码：");
        EXPECT_TRUE(uit::SaveScreenshot("Revise", (dir / "revise.png").string()));
    });
    uit::Click("Command2");
    c->ShowRevise();
    uit::Run([&] {
        EXPECT_EQ(CaptionOf("frmLanding"), "退出登陆");
        EXPECT_EQ(uit::TextOf("Label2"), "当前用户级别:");
        EXPECT_TRUE(uit::SaveScreenshot("frmLanding", (dir / "landing.png").string()));
    });
    uit::CloseFromFrame();
    c->ShowLanding();
    for (const char* name : {"login.png", "revise.png", "landing.png"})
        EXPECT_GT(fs::file_size(dir / name), 1000u) << name;
}
