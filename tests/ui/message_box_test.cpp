// The message box: queued answers, the record, and the real box clicked.
#include <gtest/gtest.h>

#include "test_form.h"
#include "ui/app.h"
#include "ui/message_box.h"
#include "ui_testing/driver.h"

namespace dg::ui {
namespace {

namespace t = dg::ui::testing;

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureGui();
        t::Reset();
    }
    void TearDown() override {
        EXPECT_TRUE(t::DriverErrors().empty()) << t::DriverErrors().front();
        t::Reset();
    }
};

TEST_F(MessageBoxTest, QueuedAnswersAreReturnedInOrderAndRecorded) {
    t::QueueAnswer(Answer::No);
    t::QueueAnswer(Answer::Ok);
    EXPECT_EQ(MsgBox("确定要退出吗？", Buttons::YesNo, Icon::Question), Answer::No);
    EXPECT_EQ(MsgBox("无效的密码，请重试！", Buttons::Ok, Icon::Exclamation, "错误"), Answer::Ok);
    ASSERT_EQ(t::Messages().size(), 2u);
    const auto& first = t::Messages()[0];
    EXPECT_EQ(first.text, "确定要退出吗？");
    EXPECT_EQ(first.title, std::string(kDefaultTitle));  // no title of its own
    EXPECT_EQ(first.buttons, Buttons::YesNo);
    EXPECT_EQ(first.icon, Icon::Question);
    EXPECT_EQ(first.answer, Answer::No);
    EXPECT_EQ(t::Messages()[1].title, "错误");
    EXPECT_EQ(t::Messages()[1].icon, Icon::Exclamation);
}

TEST_F(MessageBoxTest, BoxFromAModalFormHandlerIsClickedInsideIt) {
    test::TestForm form;
    Answer answer = Answer::Ok;
    form.onOk = [&] {
        answer = MsgBox("保存吗？", Buttons::YesNo, Icon::Question);
        form.Unload();
    };
    t::Click("cmdOK");
    t::ClickMessageBox(Answer::Yes);
    form.ShowModal();
    EXPECT_EQ(answer, Answer::Yes);
    EXPECT_FALSE(form.Loaded());
    // Owned by the active form; with none of ours active, by nothing.
    t::QueueAnswer(Answer::Ok);
    MsgBox("完成", Buttons::Ok, Icon::None);
    ASSERT_EQ(t::Messages().size(), 2u);
    EXPECT_EQ(t::Messages()[0].owner, "frmTest");
    EXPECT_EQ(t::Messages()[1].owner, "");
}

}  // namespace
}  // namespace dg::ui
