// How the host reads events: dates, the announcer's JSON line, the level in
// hand learnt from BackAdmin in the light of the call in progress.
#include <gtest/gtest.h>

#include "event_text.h"

namespace dghost {
namespace {

EventArg I2(int value) {
    EventArg arg;
    arg.vt = DG_VT_I2;
    arg.integer = value;
    return arg;
}
EventArg Text(const std::string& value) {
    EventArg arg;
    arg.vt = DG_VT_BSTR;
    arg.text = value;
    return arg;
}
EventArg Date(double value) {
    EventArg arg;
    arg.vt = DG_VT_DATE;
    arg.date = value;
    return arg;
}

Event ShiftChange() { return {1, "eventSetClass", {I2(4), Text("2"), Text("乙班"), Date(46363)}}; }

TEST(EventText, AutomationDatesBecomeCivilDates) {
    EXPECT_EQ(FormatDate(0), "1899-12-30");
    EXPECT_EQ(FormatDate(46363), "2026-12-07");
    EXPECT_EQ(FormatDate(36585), "2000-02-29");
    EXPECT_EQ(FormatDate(46363.25), "2026-12-07T06:00:00");
    // A time that rounds up to midnight lands on the next day.
    EXPECT_EQ(FormatDate(46363.9999999), "2026-12-08");
}

TEST(EventText, ShiftChangeIsOneJsonLineInArgumentOrder) {
    EXPECT_EQ(EventJson(ShiftChange()),
              R"({"event":"eventSetClass","iBanzhi":4,"iBanCii":"2","strBanBie":"乙班","dDateNow":"2026-12-07"})");
    EXPECT_EQ(EventJson({1, "BackAdmin", {I2(1), I2(199)}}), R"({"event":"BackAdmin","Data":1,"iCommand":199})");
    // Text that is not UTF-8 is replaced instead of ending the announcer.
    const std::string line = EventJson({1, "eventSetClass", {I2(4), Text("2"), Text("\xff"), Date(46363)}});
    EXPECT_NE(line.find("\"strBanBie\":\"\xEF\xBF\xBD\""), std::string::npos) << line;
}

TEST(EventText, LogLineAndSummaryNameEveryArgument) {
    EXPECT_EQ(EventText(ShiftChange()),
              R"(eventSetClass(iBanzhi=4, iBanCii="2", strBanBie="乙班", dDateNow=2026-12-07))");
    EXPECT_EQ(EventText({1, "Other", {I2(3)}}), "Other(arg1=3)");
    EXPECT_EQ(ShiftSummary(ShiftChange()), "2026-12-07 第2班（乙班）交班，每日4班");
}

TEST(LevelInHand, LoginDialogLogsInOnlyOnAConfirmedLevel) {
    using C = CallInProgress;
    EXPECT_EQ(ReadBackAdmin(C::ShowDialog, 0, 1, 199).level, 1);
    EXPECT_EQ(ReadBackAdmin(C::ShowDialog, 1, 2, 199).level, 2);
    EXPECT_EQ(ReadBackAdmin(C::ShowDialog, 2, 0, 199).level, 2);  // failed check
    EXPECT_EQ(ReadBackAdmin(C::ShowDialog, 1, 1, 200).level, 1);  // cancel
    EXPECT_EQ(ReadBackAdmin(C::ShowDialog, 0, 0, 200).level, 0);
}

TEST(LevelInHand, OnlyTheLogoutDialogLogsOut) {
    using C = CallInProgress;
    EXPECT_EQ(ReadBackAdmin(C::ShowLanding, 2, 0, 200).level, 0);
    EXPECT_EQ(LevelName(ReadBackAdmin(C::ShowLanding, 1, 0, 200).level), "未登陆");
    // The change-password dialog reports the level in hand: no change.
    EXPECT_EQ(ReadBackAdmin(C::ShowRevise, 1, 2, 199).level, 1);
    EXPECT_EQ(ReadBackAdmin(C::ShowRevise, 0, 1, 199).level, 0);
    // (0, 200) outside the logout dialog is a cancel, not a logout.
    EXPECT_EQ(ReadBackAdmin(C::ShowDialog, 1, 0, 200).level, 1);
    EXPECT_EQ(ReadBackAdmin(C::None, 1, 0, 200).level, 1);
}

}  // namespace
}  // namespace dghost
