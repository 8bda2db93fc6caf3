// The settings dialog driven through the real widgets: its layout, the fill
// from tblClassTime, the active-row and spinner rules, and how it closes.
#include <algorithm>
#include <cstdlib>

#include "dialog_fixture.h"
#include "shift/clsShiftClass.h"
#include "shift/frmClass.h"

namespace dg::shiftdialog {
namespace {

using shift::clsShiftClass;

class FrmClassTest : public DialogTest {
protected:
    // Row r (1-4) as "hour minute crew on|off"; "mixed" when its five controls disagree.
    static std::string RowOf(int r) {
        const std::string controls[5] = {"txtTime_" + std::to_string(r - 1), "txtTime_" + std::to_string(r + 3),
                                         "txtBanbie_" + std::to_string(r - 1), "UpDown1_" + std::to_string(r - 1),
                                         "UpDown1_" + std::to_string(r + 3)};
        int enabled = 0;
        for (const auto& c : controls) enabled += uitest::EnabledOf(c) ? 1 : 0;
        return Text(controls[0]) + " " + Text(controls[1]) + " " + Text(controls[2]) +
               (enabled == 5   ? " on"
                : enabled == 0 ? " off"
                               : " mixed");
    }
};

TEST_F(FrmClassTest, OpensWithItsLayoutFilledFromTheDefaultRow) {
    clsShiftClass controller;
    controller.ShowSetClass();
    ASSERT_TRUE(uitest::FormOpen("frmClass"));
    const shift::frmClass& dialog = *controller.Dialog();
    EXPECT_EQ(dialog.cmdSave.ToolTip(), "\"一天中最晚换班时间换天\"");
    EXPECT_EQ(dialog.Frame1.ToolTip(), "\"换班时间1设为各班中最晚\"");
    EXPECT_EQ(Text("cmdSave") + Text("cmdExit") + Text("Frame1"), "保存退出时间设置");
    EXPECT_EQ(Text("lblBanzhi_0") + Text("lblBanzhi_1") + Text("lblBanzhi_5"), "班制选取：班班别：");
    EXPECT_EQ(Text("lblClassTime_0") + Text("lblClassTime_3"), "1班结束时间:4班结束时间:");
    EXPECT_EQ(Text("lblHour_7") + Text("lblHour_2") + Text("lblMinute_6") + Text("lblMinute_2"), "时时分分");
    EXPECT_FALSE(uitest::TextOf("lblHour_3").has_value());

    EXPECT_EQ(Text("txtBanzhi"), "4");
    EXPECT_EQ(RowOf(1), "00 00 甲班 on");
    EXPECT_EQ(RowOf(2), "06 00 乙班 on");
    EXPECT_EQ(RowOf(3), "12 00 丙班 on");
    EXPECT_EQ(RowOf(4), "18 00 丁班 on");
    EXPECT_EQ(dialog.UpDown1[8].Value(), 4);
    EXPECT_TRUE(uitest::Messages().empty());
    // The frame's hint over the labels in it, which let the pointer through; not over its boxes.
    EXPECT_EQ(uitest::ToolTipOf("lblHour_7"), dialog.Frame1.ToolTip());
    EXPECT_EQ(uitest::ToolTipOf("txtTime_0"), "");

    // The picture for the README (DG_SCREENSHOT names where it goes), with
    // the focus off the shift-system box so that its orange text shows.
    uitest::Focus("cmdExit");
    uitest::Run([] {
        auto has = [](const std::string& control, ui::Rgb colour) {
            const auto colours = uitest::ColoursOf(control);
            return std::find(colours.begin(), colours.end(), colour) != colours.end();
        };
        EXPECT_TRUE(has("Frame1", {255, 255, 0}) && has("Frame1", {128, 128, 255})) << "yellow caption on blue";
        EXPECT_EQ(uitest::ColoursOf("txtBanzhi").at(0), (ui::Rgb{255, 255, 255}));
        EXPECT_TRUE(has("txtBanzhi", {255, 128, 0})) << "orange, not selected";
        const char* shot = std::getenv("DG_SCREENSHOT");
        EXPECT_TRUE(uitest::SaveScreenshot("frmClass", shot ? shot : "settings.png"));
    });
    Pump();
}

TEST_F(FrmClassTest, InactiveRowsShowZerosButKeepCrewsAndSpinners) {
    { clsShiftClass prepare; }
    Sql("UPDATE tblClassTime SET 班制 = 2, Class3 = '1899-12-30 12:00:00', Class4 = '1899-12-30 19:45:00'");
    clsShiftClass controller;
    controller.ShowSetClass();
    EXPECT_EQ(Text("txtBanzhi"), "2");
    EXPECT_EQ(RowOf(2), "06 00 乙班 on");
    EXPECT_EQ(RowOf(3), "00 00 丙班 off");
    EXPECT_EQ(RowOf(4), "00 00 丁班 off");
    EXPECT_EQ(controller.Dialog()->UpDown1[2].Value(), 12);
    EXPECT_EQ(controller.Dialog()->UpDown1[7].Value(), 45);
}

TEST_F(FrmClassTest, ShiftSystemAndTimeSpinnersFollowTheirRules) {
    { clsShiftClass prepare; }
    Sql("UPDATE tblClassTime SET 班制 = 3, Class1 = '1899-12-30 09:04:00'");
    clsShiftClass controller;
    uitest::SpinDown("UpDown1_8");
    uitest::Run([] { EXPECT_EQ(Text("txtBanzhi") + " " + RowOf(3), "2 00 00 丙班 off"); });
    uitest::SpinUp("UpDown1_8");  // enabled again, the zeros stay
    uitest::Run(
        [] { EXPECT_EQ(Text("txtBanzhi") + " " + RowOf(3) + " " + RowOf(4), "3 00 00 丙班 on 00 00 丁班 off"); });
    uitest::ClearText("txtBanzhi");  // every other text gives four rows, none cleared
    uitest::Run([] { EXPECT_EQ(RowOf(4), "00 00 丁班 on"); });
    uitest::Type("txtBanzhi", "5");
    uitest::Run([] { EXPECT_EQ(RowOf(4), "00 00 丁班 on"); });
    // Hours and minutes as two digits; typed text does not move a spinner.
    uitest::SpinUp("UpDown1_0");
    uitest::SpinDown("UpDown1_4");
    uitest::ClearText("txtTime_1");
    uitest::Type("txtTime_1", "15");
    uitest::SpinUp("UpDown1_1");
    uitest::Run([] { EXPECT_EQ(Text("txtTime_0") + Text("txtTime_4") + Text("txtTime_1"), "100307"); });
    // Spinners stop at their limits.
    for (int i = 0; i < 6; ++i) uitest::SpinUp("UpDown1_8");
    uitest::Run([] { EXPECT_EQ(Text("txtBanzhi"), "4"); });
    for (int i = 0; i < 6; ++i) uitest::SpinDown("UpDown1_8");
    uitest::Run([] { EXPECT_EQ(Text("txtBanzhi") + " " + RowOf(2), "1 00 00 乙班 off"); });
    for (int i = 0; i < 5; ++i) uitest::SpinDown("UpDown1_4");
    uitest::Run([] { EXPECT_EQ(Text("txtTime_4"), "00"); });
    controller.ShowSetClass();
    Pump();
}

TEST_F(FrmClassTest, FillStopsSilentlyAtTheFirstFailure) {
    clsShiftClass controller;
    std::filesystem::remove("mdb/Para.mdb");
    controller.ShowSetClass();
    EXPECT_EQ(Text("txtBanzhi") + " " + RowOf(1) + "|" + RowOf(3) + "|" + RowOf(4), "3    on|   on|00 00  off");
    EXPECT_EQ(controller.Dialog()->UpDown1[8].Value(), 1);
    controller.Dialog()->Unload();

    { clsShiftClass prepare; }  // a shift system the spinner refuses: its text, nothing after it
    Sql("UPDATE tblClassTime SET 班制 = 5");
    controller.ShowSetClass();
    EXPECT_EQ(Text("txtBanzhi") + " " + RowOf(1) + "|" + RowOf(4), "5    on|   on");
    controller.Dialog()->Unload();

    Sql("UPDATE tblClassTime SET 班制 = 2, B3 = NULL");  // the crews before the null, nothing after
    controller.ShowSetClass();
    EXPECT_EQ(Text("txtBanzhi") + " " + RowOf(2) + "|" + RowOf(3), "2   乙班 on|00 00  off");
    EXPECT_TRUE(uitest::Messages().empty());
}

TEST_F(FrmClassTest, ClosingExitingAndShowingAgain) {
    clsShiftClass controller;
    const auto before = StoredRows();
    controller.ShowSetClass();
    controller.ShowSetClass();
    EXPECT_EQ(ui::ProcessEvents(0), 1);  // one window

    // The window frame: no event, the controller keeps the dialog, the next show reloads it.
    shift::frmClass* dialog = controller.Dialog();
    uitest::ClearText("txtTime_0");
    uitest::Type("txtTime_0", "22");
    uitest::PressKey("txtTime_0", uitest::Key::Escape);  // no cancel button: the dialog stays, with the edit
    Pump();
    EXPECT_TRUE(uitest::FormOpen("frmClass"));
    EXPECT_EQ(Text("txtTime_0"), "22");
    uitest::CloseFromFrame();
    Pump();
    EXPECT_FALSE(uitest::FormOpen("frmClass"));
    EXPECT_EQ(controller.Dialog(), dialog);
    controller.ShowSetClass();
    EXPECT_EQ(Text("txtTime_0"), "00");

    // 退出: unloaded first, then 200; the controller lets the dialog go.
    std::vector<std::pair<int, bool>> raised;
    dialog->BackClass.Connect([&](std::int16_t vNum) { raised.emplace_back(vNum, dialog->Loaded()); });
    uitest::Type("txtBanbie_0", "早");
    uitest::Click("cmdExit");
    Pump();
    EXPECT_EQ(raised, (std::vector<std::pair<int, bool>>{{200, false}}));
    EXPECT_EQ(controller.Dialog(), nullptr);
    EXPECT_FALSE(uitest::FormOpen("frmClass"));
    EXPECT_TRUE(uitest::Messages().empty());
    EXPECT_EQ(StoredRows(), before);

    // A new dialog, connected in its turn; ending the controller closes it.
    controller.ShowSetClass();
    ASSERT_NE(controller.Dialog(), nullptr);
    EXPECT_EQ(Text("txtBanbie_0"), "甲班");
    uitest::Click("cmdExit");
    Pump();
    EXPECT_EQ(controller.Dialog(), nullptr);
    {
        clsShiftClass other;
        other.ShowSetClass();
        ASSERT_TRUE(uitest::FormOpen("frmClass"));
    }
    EXPECT_EQ(ui::ProcessEvents(0), 0);
}

}  // namespace
}  // namespace dg::shiftdialog
