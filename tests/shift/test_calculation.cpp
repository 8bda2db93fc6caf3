#include <gtest/gtest.h>

#include "shift/calculation.h"
#include "shift/errors.h"
#include "store/value.h"
#include "support/local_time.h"

using namespace dg::shift;
using dg::store::DateTime;

namespace {

constexpr std::int32_t At(int h, int m, int s = 0) { return h * 3600 + m * 60 + s; }

ShiftSettings Settings(const char* banzhi, std::array<std::int32_t, 4> times,
                       std::array<std::string, 4> crews = {"甲班", "乙班", "丙班", "丁班"}) {
    ShiftSettings s;
    s.banzhiText = banzhi;
    s.changeTime = times;
    s.crew = crews;
    return s;
}

const ShiftSettings kDefault = Settings("4", {At(0, 0), At(6, 0), At(12, 0), At(18, 0)});
const ShiftSettings kThree = Settings("3", {At(22, 0), At(6, 0), At(14, 0), 0});

ClockReading Clock(int y, int mo, int d, std::int32_t secondsOfDay) {
    return {secondsOfDay, DateTime::FromCivil(y, mo, d).day};
}

struct Expected {
    int shift;
    int y, mo, d;  // duty date
};

void ExpectAnnounces(const ShiftSettings& settings, CalcState& state, ClockReading clock, int banzhi, Expected e) {
    const CalcResult r = Calculate(settings, state, clock);
    ASSERT_EQ(r.status, 0);
    ASSERT_TRUE(r.announce);
    EXPECT_FALSE(state.latch);
    EXPECT_EQ(state.banzhi, banzhi);
    EXPECT_EQ(state.announcedShift, e.shift);
    EXPECT_EQ(state.dutyDate, DateTime::FromCivil(e.y, e.mo, e.d).day);
}

}  // namespace

TEST(ShiftCalculation, WorkedExamplesOfTheDefaultSettings) {
    CalcState state;
    ExpectAnnounces(kDefault, state, Clock(2026, 12, 7, At(6, 0, 20)), 4, {2, 2026, 12, 7});
    // Later in the same window: nothing, the latch stays cleared.
    EXPECT_FALSE(Calculate(kDefault, state, Clock(2026, 12, 7, At(6, 0, 40))).announce);
    EXPECT_FALSE(state.latch);
    // The next minute sets the latch again.
    EXPECT_FALSE(Calculate(kDefault, state, Clock(2026, 12, 7, At(6, 1, 0))).announce);
    EXPECT_TRUE(state.latch);

    CalcState fresh;
    EXPECT_FALSE(Calculate(kDefault, fresh, Clock(2026, 12, 7, At(6, 0, 0))).announce);
    EXPECT_TRUE(fresh.latch);
    ExpectAnnounces(kDefault, fresh, Clock(2026, 12, 8, At(0, 0, 15)), 4, {1, 2026, 12, 8});
}

TEST(ShiftCalculation, ShiftsAcrossMidnightAreDatedWhenTheyBegan) {
    CalcState a, b, c;
    ExpectAnnounces(kThree, a, Clock(2026, 12, 7, At(22, 0, 30)), 3, {1, 2026, 12, 7});
    ExpectAnnounces(kThree, b, Clock(2026, 12, 8, At(6, 0, 30)), 3, {2, 2026, 12, 7});
    ExpectAnnounces(kThree, c, Clock(2026, 12, 8, At(14, 0, 30)), 3, {3, 2026, 12, 8});
    // Yesterday across a month and a year end is the calendar day before.
    CalcState d;
    ExpectAnnounces(kThree, d, Clock(2027, 1, 1, At(6, 0, 30)), 3, {2, 2026, 12, 31});
    CalcState e;
    const ShiftSettings two = Settings("2", {At(20, 0), At(12, 0), 0, 0});
    ExpectAnnounces(two, e, Clock(2028, 3, 1, At(12, 0, 1)), 2, {2, 2028, 2, 29});
}

TEST(ShiftCalculation, OneShiftAndEqualTimes) {
    CalcState a;
    ExpectAnnounces(Settings("1", {At(8, 0), 0, 0, 0}), a, Clock(2026, 12, 7, At(8, 0, 5)), 1, {1, 2026, 12, 7});
    // Flags 1 and 2 both true: flag 1 gives the date, flag 2 the shift and crew.
    CalcState b;
    ExpectAnnounces(Settings("3", {At(6, 0), At(6, 0), At(14, 0), 0}), b, Clock(2026, 12, 7, At(6, 0, 5)), 3,
                    {2, 2026, 12, 7});
}

TEST(ShiftCalculation, WindowRunsFromSecondOneToSecondFiftyNine) {
    const ShiftSettings late = Settings("2", {At(23, 59), At(0, 0), 0, 0});
    struct Case {
        std::int32_t t;
        bool in;
    } cases[] = {{At(23, 59, 0), false}, {At(23, 59, 1), true}, {At(23, 59, 59), true}, {At(0, 0, 0), false},
                 {At(0, 0, 1), true},    {At(0, 0, 59), true},  {At(0, 1, 0), false},   {At(12, 0, 30), false}};
    for (const auto& c : cases) {
        CalcState state;
        EXPECT_EQ(Calculate(late, state, Clock(2026, 12, 7, c.t)).announce, c.in) << c.t;
    }
}

TEST(ShiftCalculation, ChangesOneMinuteApartNeedTheSecondBetween) {
    const ShiftSettings close = Settings("2", {At(6, 0), At(6, 1), 0, 0});
    CalcState state;
    EXPECT_TRUE(Calculate(close, state, Clock(2026, 12, 7, At(6, 0, 30))).announce);
    EXPECT_FALSE(Calculate(close, state, Clock(2026, 12, 7, At(6, 1, 30))).announce);  // latch still cleared
    CalcState other;
    EXPECT_TRUE(Calculate(close, other, Clock(2026, 12, 7, At(6, 0, 59))).announce);
    EXPECT_FALSE(Calculate(close, other, Clock(2026, 12, 7, At(6, 1, 0))).announce);  // sets the latch
    EXPECT_TRUE(Calculate(close, other, Clock(2026, 12, 7, At(6, 1, 1))).announce);
    EXPECT_EQ(other.announcedShift, 2);
}

TEST(ShiftCalculation, FlagsBeyondTheShiftSystemNeverAnnounce) {
    const ShiftSettings two = Settings("2", {At(0, 0), At(6, 0), At(12, 0), At(18, 0)});
    CalcState state;
    EXPECT_FALSE(Calculate(two, state, Clock(2026, 12, 7, At(12, 0, 30))).announce);
    EXPECT_FALSE(Calculate(two, state, Clock(2026, 12, 7, At(18, 0, 30))).announce);
    EXPECT_TRUE(state.latch);
    EXPECT_EQ(state.banzhi, 2);
}

TEST(ShiftCalculation, ShiftSystemTexts) {
    const auto times = kDefault.changeTime;
    const ClockReading inWindow = Clock(2026, 12, 7, At(6, 0, 20));
    struct Case {
        const char* text;
        std::int32_t status;
        bool setsLatch;  // reaches the end without announcing
    } cases[] = {
        {"0", 0, true},
        {"-3", 0, true},
        {" 4", 0, true},
        {"04", 0, true},
        {"4.0", 0, true},
        {"5", kStatusOutOfRange, false},
        {"40000", kStatusOverflow, false},
        {"abc", kStatusTypeMismatch, false},
        {"4a", kStatusTypeMismatch, false},
    };
    for (const auto& c : cases) {
        CalcState state;
        state.latch = false;
        state.announcedShift = 3;
        const CalcResult r = Calculate(Settings(c.text, times), state, inWindow);
        EXPECT_EQ(r.status, c.status) << c.text;
        EXPECT_FALSE(r.announce) << c.text;
        EXPECT_EQ(state.latch, c.setsLatch) << c.text;
        if (c.status != 0) {
            EXPECT_EQ(state.announcedShift, 3) << c.text;  // no state change on failure
        }
    }
    // Empty text: returns at once and changes nothing.
    CalcState state;
    state.latch = false;
    EXPECT_EQ(Calculate(Settings("", times), state, inWindow).status, 0);
    EXPECT_FALSE(state.latch);
    EXPECT_EQ(state.banzhi, 0);
}

TEST(ShiftCalculation, LocalClockReadingIsOneConsistentReading) {
    const ClockReading r = ReadLocalClock();
    EXPECT_GE(r.secondsOfDay, 0);
    EXPECT_LT(r.secondsOfDay, 86400);
    const auto now = std::time(nullptr);
    const std::tm local = dg::testsupport::LocalTm(now);
    EXPECT_NEAR(r.today, DateTime::FromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday).day, 1);
}
