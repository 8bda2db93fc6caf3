// The message box: queued answers, the record, and the real QMessageBox.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>

#include "test_form.h"
#include "ui/app.h"
#include "ui/message_box.h"
#include "ui/testing.h"

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

TEST_F(MessageBoxTest, RealBoxShowsItsTextAndReturnsTheButtonClicked) {
    std::string seen;
    t::Run([&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = (box->windowTitle() + "|" + box->text()).toStdString();
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_NE(box->button(QMessageBox::Yes), nullptr);
        EXPECT_EQ(box->button(QMessageBox::Ok), nullptr);
    });
    t::ClickMessageBox(Answer::No);
    EXPECT_EQ(MsgBox("保存修改吗？", Buttons::YesNo, Icon::Question), Answer::No);
    EXPECT_EQ(seen, "Dutygate|保存修改吗？");
    ASSERT_EQ(t::Messages().size(), 1u);
    EXPECT_EQ(t::Messages()[0].answer, Answer::No);
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
}

}  // namespace
}  // namespace dg::ui
