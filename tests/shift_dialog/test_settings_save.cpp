// The save behind 保存: padding, the checks and their messages, the single
// update of the first row, and the refresh of the controller's shift settings.
#include "dialog_fixture.h"
#include "shift/class_settings_save.h"
#include "shift/clsShiftClass.h"
#include "shift/frmClass.h"
#include "ui/message_box.h"

namespace dg::shiftdialog {
namespace {

using shift::clsShiftClass;
using shift::EntryFault;

const std::string kDefaultRow = RowText(4, {"00:00", "06:00", "12:00", "18:00"}, {"甲班", "乙班", "丙班", "丁班"});

class SaveTest : public DialogTest {
protected:
    static void Enter(const std::string& box, const std::string& text) {
        uitest::ClearText(box);
        if (!text.empty()) uitest::Type(box, text);
    }
    // 保存, with the answer for the message box that follows.
    static void Save() {
        uitest::QueueAnswer(ui::Answer::Ok);
        uitest::Click("cmdSave");
    }
    // The last message as "text|title|icon", the button always OK.
    static std::string LastMessage() {
        if (uitest::Messages().empty()) return "none";
        const auto& m = uitest::Messages().back();
        EXPECT_EQ(m.buttons, ui::Buttons::Ok);
        return m.text + "|" + m.title + "|" + std::to_string(static_cast<int>(m.icon));
    }
    static std::string Refusal(const char* text) { return std::string(text) + "|换班设置|2"; }
    static constexpr const char* kSavedMessage = "已经保存！|换班设置|4";
};

TEST(SaveChecks, PadAndCheckInTheirOrder) {
    EXPECT_EQ(shift::PadTimeText("7") + shift::PadTimeText("") + shift::PadTimeText("100"), "070100");
    EXPECT_EQ(shift::PadTimeText("时"), "0时");  // one character of three bytes

    const shift::SettingsEntry good{
        "4", {"07", "06", "12", "18", "05", "00", "00", "00"}, {"甲班", "乙班", "", "丁班"}};
    shift::CheckedSettings out;
    ASSERT_EQ(shift::CheckEntry(good, out), EntryFault::None);
    EXPECT_EQ(out.banzhi, 4);
    EXPECT_EQ(out.changeTime[0], At(7, 5));
    auto check = [&](auto change) {
        shift::SettingsEntry e = good;
        change(e);
        return shift::CheckEntry(e, out);
    };
    for (const auto& [hour, minute] : {std::pair{"24", "00"}, {"23", "60"}, {"30", "00"}, {"99", "99"}})
        EXPECT_EQ(check([&](auto& e) { e.time[3] = hour, e.time[7] = minute; }), EntryFault::LaterThan2359) << hour;
    for (const auto& [hour, minute] :
         {std::pair{"19", "99"}, {"09", "75"}, {"1a", "00"}, {"100", "00"}, {" 7", "00"}, {"07", "000"}})
        EXPECT_EQ(check([&](auto& e) { e.time[3] = hour, e.time[7] = minute; }), EntryFault::NotATimeOfDay) << hour;
    EXPECT_EQ(check([](auto& e) { e.time[0] = "0", e.time[4] = "30"; }), EntryFault::None);  // an empty hour is 0
    EXPECT_EQ(out.changeTime[0], At(0, 30));
    for (const char* banzhi : {"", "0", "5", "-1", "2.0", "x", "99999999999", "+3"})
        EXPECT_EQ(check([&](auto& e) { e.banzhi = banzhi; }), EntryFault::BadShiftSystem) << banzhi;
    for (const char* banzhi : {"1", " 2 ", "04"})
        EXPECT_EQ(check([&](auto& e) { e.banzhi = banzhi; }), EntryFault::None) << banzhi;
    EXPECT_EQ(check([](auto& e) { e.crew[3] = "一二三四五六七八九十"; }), EntryFault::None);
    EXPECT_EQ(check([](auto& e) { e.crew[3] = "一二三四五六七八九十壹"; }), EntryFault::CrewTooLong);
    // The first failing check decides.
    EXPECT_EQ(check([](auto& e) { e.time[3] = "1a", e.banzhi = "9", e.crew[0] = "abcdefghijk"; }),
              EntryFault::NotATimeOfDay);
    EXPECT_EQ(check([](auto& e) { e.banzhi = "9", e.crew[0] = "abcdefghijk"; }), EntryFault::BadShiftSystem);
}

TEST_F(SaveTest, PadsStoresRefreshesAndTheNextPollUsesIt) {
    clsShiftClass controller;
    std::vector<std::string> heard;
    controller.eventSetClass.Connect([&](std::int16_t b, const std::string& s, const std::string& c, double d) {
        heard.push_back(std::to_string(b) + " " + s + " " + c + " " + std::to_string(static_cast<int>(d)));
    });
    ASSERT_EQ(controller.ShiftClassAt({At(6, 0) + 20, 46000}), 0);  // announced: the latch is cleared
    Enter("txtTime_0", "7");
    Enter("txtTime_4", "5");
    Enter("txtTime_1", "23");
    Enter("txtTime_5", "59");
    Enter("txtBanbie_1", "早班");
    uitest::SpinDown("UpDown1_8");
    Save();
    controller.ShowSetClass();
    Pump();

    EXPECT_EQ(LastMessage(), kSavedMessage);
    EXPECT_EQ(Text("txtTime_0") + Text("txtTime_4"), "0705");
    EXPECT_TRUE(uitest::FormOpen("frmClass"));
    EXPECT_EQ(StoredRows(),
              std::vector{RowText(3, {"07:05", "23:59", "12:00", "00:00"}, {"甲班", "早班", "丙班", "丁班"})});
    EXPECT_EQ(controller.Settings().changeTime[0], At(7, 5));
    EXPECT_EQ(controller.Settings().banzhiText, "3");
    EXPECT_FALSE(controller.State().latch);  // a save neither touches the latch nor announces
    EXPECT_EQ(heard.size(), 1u);

    for (const std::int32_t t : {At(7, 5) + 20,   // the latch is still cleared from before the save
                                 At(18, 0) + 20,  // shift 4 is no longer part of the day: sets the latch
                                 At(7, 5) + 20, At(8, 0), At(23, 59) + 20})
        EXPECT_EQ(controller.ShiftClassAt({t, 46000}), 0);
    EXPECT_EQ(heard, (std::vector<std::string>{"4 2 乙班 46000", "3 1 甲班 46000", "3 2 早班 46000"}));
}

TEST_F(SaveTest, RefusalsWriteNothingAndKeepThePaddedTexts) {
    clsShiftClass controller;
    const auto settingsBefore = controller.Settings().changeTime;
    auto expectRefused = [&](const std::string& message) {
        EXPECT_EQ(LastMessage(), message);
        EXPECT_EQ(StoredRows(), std::vector{kDefaultRow});
        EXPECT_EQ(controller.Settings().changeTime, settingsBefore);
        EXPECT_TRUE(uitest::FormOpen("frmClass"));
    };
    const std::string later = "不能输入24点，请重新输入！|" + std::string(ui::kDefaultTitle) + "|0";
    Enter("txtTime_0", "1");  // rows 1 to 3 valid and changed throughout
    Enter("txtTime_3", "24");
    Save();
    uitest::Run([&] {
        expectRefused(later);
        EXPECT_EQ(Text("txtTime_0") + Text("txtTime_3"), "0124");
    });
    Enter("txtTime_3", "23");
    Enter("txtTime_7", "60");
    Save();
    uitest::Run([&] { expectRefused(later); });
    Enter("txtTime_3", "1a");
    Enter("txtTime_7", "00");
    Save();
    uitest::Run([&] { expectRefused(Refusal("交接班时间无效，请重新输入！")); });
    Enter("txtTime_3", "19");
    Enter("txtTime_7", "99");
    Save();
    uitest::Run([&] { expectRefused(Refusal("交接班时间无效，请重新输入！")); });
    Enter("txtTime_7", "");  // padded to "0": 19:0 is 19:00
    Enter("txtBanzhi", "5");
    Save();
    uitest::Run([&] {
        expectRefused(Refusal("班制必须是1到4之间的整数，请重新输入！"));
        EXPECT_EQ(Text("txtTime_7"), "0");
    });
    Enter("txtBanzhi", "4");
    Enter("txtBanbie_3", "第四班组的十一个字名称");
    Save();
    uitest::Run([&] { expectRefused(Refusal("班别名称不能超过10个字！")); });
    Enter("txtBanbie_3", "第四班组");
    Save();
    controller.ShowSetClass();
    Pump();
    EXPECT_EQ(LastMessage(), kSavedMessage);
    EXPECT_EQ(uitest::Messages().size(), 7u);
    EXPECT_EQ(StoredRows(),
              std::vector{RowText(4, {"01:00", "06:00", "12:00", "19:00"}, {"甲班", "乙班", "丙班", "第四班组"})});
}

TEST_F(SaveTest, InactiveRowsStoreZerosAndEmptyCrewsStayText) {
    clsShiftClass controller;
    uitest::SpinDown("UpDown1_8");
    uitest::SpinDown("UpDown1_8");
    Enter("txtBanbie_1", "");
    Save();
    Save();  // the same row twice
    controller.ShowSetClass();
    Pump();
    EXPECT_EQ(LastMessage(), kSavedMessage);
    EXPECT_EQ(StoredRows(),
              std::vector{RowText(2, {"00:00", "06:00", "00:00", "00:00"}, {"甲班", "", "丙班", "丁班"})});
    EXPECT_EQ(controller.Settings().banzhi, 2);
    EXPECT_EQ(controller.Settings().crew[1], "");
    uitest::Reset();
    uitest::QueueAnswer(ui::Answer::Ok);  // in case the load complains
    clsShiftClass later;                  // it does not
    EXPECT_TRUE(uitest::Messages().empty());
    EXPECT_EQ(later.Settings().banzhiText, "2");
}

TEST_F(SaveTest, StoreFailuresAreShownAndNothingIsWritten) {
    clsShiftClass controller;
    const auto settingsBefore = controller.Settings().changeTime;
    uitest::Run([] { std::filesystem::remove("mdb/Para.mdb"); });
    Enter("txtTime_0", "05");
    Save();
    uitest::Run([&] {
        const std::string message = LastMessage();
        EXPECT_TRUE(message.ends_with("|换班设置|1")) << message;  // the store's description, critical
        EXPECT_EQ(message.rfind("无法保存交接班设置：无法打开数据库“mdb\\Para.mdb”", 0), 0u) << message;
        EXPECT_FALSE(std::filesystem::exists("mdb/Para.mdb"));  // a save never creates the file
        { clsShiftClass recreate; }
        Sql("DELETE FROM tblClassTime");
    });
    Save();
    controller.ShowSetClass();
    Pump();
    EXPECT_EQ(LastMessage(), "没有找到交接班设置记录，未能保存！|换班设置|1");
    EXPECT_TRUE(StoredRows().empty());
    EXPECT_TRUE(uitest::FormOpen("frmClass"));
    EXPECT_EQ(controller.Settings().changeTime, settingsBefore);

    controller.Dialog()->BackClass.Raise(150);  // other codes do nothing
    EXPECT_EQ(uitest::Messages().size(), 2u);
}

}  // namespace
}  // namespace dg::shiftdialog
