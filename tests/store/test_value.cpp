#include <gtest/gtest.h>

#include "store/errors.h"
#include "store/value.h"

using namespace dg::store;

TEST(DateTime, CivilDatesRoundTripAroundTheZeroDate) {
    EXPECT_EQ(DateTime::FromCivil(1899, 12, 30).day, 0);
    EXPECT_EQ(DateTime::FromCivil(1900, 1, 1).day, 2);
    EXPECT_EQ(DateTime::FromCivil(2026, 12, 7).day, 46363);
    int y = 0, m = 0, d = 0;
    DateTime{46363 + 25, 0}.ToCivil(y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20270101);
    DateTime{-1, 0}.ToCivil(y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 18991229);
}

TEST(DateTime, ParsesTheStoreFormsAndRefusesOthers) {
    EXPECT_EQ(DateTime::Parse("1899-12-30 06:00:45"), (DateTime{0, 6 * 3600 + 45}));
    EXPECT_EQ(DateTime::Parse("2026-12-07"), (DateTime{46363, 0}));
    EXPECT_EQ(DateTime::Parse("6:00"), (DateTime{0, 6 * 3600}));
    EXPECT_EQ(DateTime::Parse("23:59"), (DateTime{0, 23 * 3600 + 59 * 60}));
    for (const char* bad :
         {"24:00", "23:60", "19:99", "1a:00", "100:00", "", "2026-02-30", "2026-12-07 25:00:00", "06:0", ":30"})
        EXPECT_FALSE(DateTime::Parse(bad).has_value()) << bad;
    EXPECT_EQ(DateTime::Parse("2026-12-07 18:30:05")->ToStoreText(), "2026-12-07 18:30:05");
}

TEST(DateTime, FormatsHoursAndMinutesWithTwoDigits) {
    EXPECT_EQ(FormatHH(DateTime{0, 7 * 3600 + 5 * 60}), "07");
    EXPECT_EQ(FormatHHMM(DateTime{12, 7 * 3600 + 5 * 60 + 59}), "07:05");
}

TEST(WholeNumber, ConvertsAsTheAutomationRuntime) {
    EXPECT_EQ(ParseWholeNumber("4").value, 4);
    EXPECT_EQ(ParseWholeNumber(" -12 ").value, -12);
    EXPECT_EQ(ParseWholeNumber("2.5").value, 2);  // half to even
    EXPECT_EQ(ParseWholeNumber("3.5").value, 4);
    EXPECT_EQ(ParseWholeNumber("2.51").value, 3);
    for (const char* bad : {"", " ", "abc", "4a", "+", ".", "1.2.3", "--1"})
        EXPECT_EQ(ParseWholeNumber(bad).kind, WholeNumber::kNotANumber) << bad;
    EXPECT_EQ(ParseWholeNumber("99999999999999999999").kind, WholeNumber::kOverflow);
}

TEST(Value, ConversionsFailWithTheirOwnDescriptions) {
    EXPECT_EQ(Value(std::int64_t{5}).AsText(), "5");
    EXPECT_EQ(Value("40000").AsInt32(), 40000);
    try {
        (void)Value(std::int64_t{40000}).AsInt16();
        FAIL();
    } catch (const StoreError& e) {
        EXPECT_STREQ(e.what(), "溢出：Overflow");
    }
    try {
        (void)Value(Null{}).AsText();
        FAIL();
    } catch (const StoreError& e) {
        EXPECT_STREQ(e.what(), "无效地使用了 Null：Invalid use of Null");
    }
    EXPECT_THROW((void)Value("abc").AsInt16(), StoreError);
    EXPECT_THROW((void)Value("19:99").AsDateTime(), StoreError);
    EXPECT_EQ(Value(1.25).AsDateTime(), (DateTime{1, 6 * 3600}));
}
