// Controls: notifications, locks, combo choices, the spinner, enabling.
#include <gtest/gtest.h>

#include <algorithm>

#include "test_form.h"
#include "ui/app.h"
#include "ui/errors.h"
#include "ui/message_box.h"
#include "ui_testing/driver.h"

namespace dg::ui {
namespace {

namespace t = dg::ui::testing;
using test::TestForm;

std::size_t Count(const std::vector<std::string>& log, const std::string& entry) {
    return static_cast<std::size_t>(std::count(log.begin(), log.end(), entry));
}

// Each test shows the form modally, lets the queued actions run, then closes it.
class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override { t::Reset(); }
    void TearDown() override {
        EXPECT_TRUE(t::DriverErrors().empty()) << t::DriverErrors().front();
        t::Reset();
        ProcessEvents(0);
    }
    void ShowAndClose() {
        t::Run([this] { form.Unload(); });
        form.ShowModal();
        EXPECT_FALSE(form.Loaded());
    }
    TestForm form;
};

TEST_F(ControlsTest, TextBoxNotifiesTypingDeletingAndCodeAlike) {
    t::Type("txtPassword", "57");
    t::Run([&] {
        form.txtPassword.SetText("abc");
        form.txtPassword.SetText("abc");  // unchanged: no notification
    });
    t::ClearText("txtPassword");
    t::Type("txtPassword", "口令9");  // Chinese goes in as an input-method commit
    ShowAndClose();
    EXPECT_EQ(form.log, (std::vector<std::string>{"load", "password:5", "password:57", "password:abc",
                                                  "password:", "password:口令", "password:口令9", "unload"}));
}

TEST_F(ControlsTest, LostFocusWhenFocusMovesToAnotherControlOnly) {
    t::Focus("Combo1");  // from txtName (the initial focus)
    t::Focus("txtName");
    // A real message box takes the focus to another window: not a lost focus.
    t::Run([] { MsgBox("提示"); });
    t::ClickMessageBox(Answer::Ok);
    t::Run([&] {
        EXPECT_TRUE(form.txtName.HasFocus());
        form.txtPassword.SetFocus();  // by code
    });
    t::Focus("txtName");
    t::Run([&] { form.Unload(); });  // closing with the focus in the box: no lost focus
    form.ShowModal();
    EXPECT_EQ(Count(form.log, "name-lost"), 2u);
    EXPECT_EQ(form.log.back(), "unload");
}

TEST_F(ControlsTest, LostFocusHandlerMayPutTheFocusBack) {
    t::Run([&] {
        form.txtName.OnLostFocus([&] { form.txtName.SetFocus(); });  // as a validating dialog does
    });
    t::Focus("txtPassword");
    t::Run([&] { EXPECT_TRUE(form.txtName.HasFocus()); });
    ShowAndClose();
    EXPECT_EQ(Count(form.log, "name-lost"), 1u);
}

TEST_F(ControlsTest, LockedBoxTakesFocusButRefusesTyping) {
    t::Run([&] {
        form.txtPassword.SetText("old");
        form.txtPassword.SetLocked(true);
    });
    t::Focus("txtPassword");
    t::Type("txtPassword", "new");
    t::Run([&] {
        EXPECT_TRUE(form.txtPassword.HasFocus());
        EXPECT_TRUE(form.txtPassword.Locked());
        EXPECT_EQ(form.txtPassword.Text(), "old");
        EXPECT_EQ(t::ColoursOf("txtPassword").at(0), (Rgb{255, 255, 255})) << "a locked box is white, as the others";
        form.txtPassword.SetLocked(false);
    });
    t::Type("txtPassword", "!");
    ShowAndClose();
    EXPECT_EQ(form.log[form.log.size() - 2], "password:old!");
}

TEST_F(ControlsTest, HomeShiftEndSelectsTheWholeTextSoTypingReplacesIt) {
    t::Run([&] {
        form.txtName.SetText("secret");
        form.txtName.SelectAll();
        EXPECT_EQ(form.txtName.SelectedText(), "secret");
    });
    t::Type("txtName", "x");
    t::Run([&] { EXPECT_EQ(form.txtName.Text(), "x"); });
    ShowAndClose();
}

TEST_F(ControlsTest, ComboClickOnlyForAChoiceFromTheList) {
    t::Run([&] {
        EXPECT_EQ(form.Combo1.Text(), "管理员");  // set in OnLoad, no click
        form.Combo1.SetText("工程师");
        EXPECT_EQ(form.Combo1.Text(), "工程师");
    });
    t::Choose("Combo1", "管理员");
    t::Choose("Combo1", "管理员");  // the same item again is a choice too
    t::Run([&] {
        form.Combo1.SetText("操作员");  // no item: shown alone
        EXPECT_EQ(form.Combo1.Text(), "操作员");
        EXPECT_EQ(t::TextOf("Combo1"), "操作员");
        form.Combo1.SetItems({"甲", "操作员"});  // the shown text stays, now as an item
        EXPECT_EQ(form.Combo1.Text(), "操作员");
        EXPECT_EQ(form.Combo1.Items(), (std::vector<std::string>{"甲", "操作员"}));
        form.Combo1.SetText("");
        EXPECT_EQ(form.Combo1.Text(), "");
    });
    ShowAndClose();
    EXPECT_EQ(Count(form.log, "combo:管理员"), 2u) << ::testing::PrintToString(form.log);
    EXPECT_EQ(std::count_if(form.log.begin(), form.log.end(),
                            [](const std::string& entry) { return entry.rfind("combo:", 0) == 0; }),
              2);
}

TEST_F(ControlsTest, SpinnerStepsStopsAtLimitsAndNotifiesEveryChange) {
    for (int i = 0; i < 4; ++i) t::SpinUp("UpDown1_0");  // 0..3: the fourth click changes nothing
    t::SpinDown("UpDown1_0");
    t::Run([&] {
        EXPECT_EQ(form.UpDown1.Value(), 2);
        EXPECT_EQ(t::TextOf("lblValue_0"), "2");
        try {
            form.UpDown1.SetValue(4);
            ADD_FAILURE() << "a value above the upper limit was taken";
        } catch (const UiError& e) {
            EXPECT_EQ(e.status(), kStatusInvalidArg);
        }
        EXPECT_THROW(form.UpDown1.SetValue(-1), UiError);
        EXPECT_EQ(form.UpDown1.Value(), 2);
        form.UpDown1.SetValue(2);     // unchanged: no notification
        form.UpDown1.SetRange(3, 5);  // moves the value into the range
        EXPECT_EQ(form.UpDown1.Value(), 3);
        EXPECT_THROW(form.UpDown1.SetRange(5, 4), UiError);
        form.UpDown1.SetEnabled(false);
        EXPECT_FALSE(t::EnabledOf("UpDown1_0"));
    });
    t::SpinUp("UpDown1_0");  // disabled: nothing
    t::Run([&] { form.UpDown1.SetEnabled(true); });
    for (int i = 0; i < 3; ++i) t::PressKey("UpDown1_0", t::Key::Up);  // 3..5: the third changes nothing
    t::PressKey("UpDown1_0", t::Key::Down);
    ShowAndClose();
    std::vector<std::string> spins;
    for (const auto& entry : form.log)
        if (entry.rfind("spin:", 0) == 0) spins.push_back(entry);
    EXPECT_EQ(spins, (std::vector<std::string>{"spin:1", "spin:2", "spin:3", "spin:2", "spin:3", "spin:4", "spin:5",
                                               "spin:4"}));
}

}  // namespace
}  // namespace dg::ui
