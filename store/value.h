#pragma once
// Field values and their conversions. Date/time values are stored as text
// "YYYY-MM-DD HH:MM:SS"; a time of day alone sits on the zero date
// 1899-12-30, a date alone at 00:00:00.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace dg::store {

// Days since 1899-12-30 (the zero date) and seconds since midnight.
struct DateTime {
    std::int32_t day = 0;
    std::int32_t seconds = 0;

    static DateTime FromCivil(int year, int month, int dayOfMonth, int hour = 0, int minute = 0, int second = 0);
    void ToCivil(int& year, int& month, int& dayOfMonth) const;
    int Hour() const { return seconds / 3600; }
    int Minute() const { return seconds / 60 % 60; }
    int Second() const { return seconds % 60; }
    DateTime DatePart() const { return {day, 0}; }
    DateTime TimePart() const { return {0, seconds}; }
    std::string ToStoreText() const;  // "YYYY-MM-DD HH:MM:SS"
    // Reads "YYYY-MM-DD HH:MM[:SS]", "YYYY-MM-DD", "H[H]:MM[:SS]".
    static std::optional<DateTime> Parse(std::string_view text);
    // The day as an automation date: days since the zero date, no fraction.
    double ToOleDate() const { return static_cast<double>(day) + seconds / 86400.0; }
    bool operator==(const DateTime&) const = default;
};

// One reading of the local wall clock, to the whole second: the local
// calendar date and the time of day. No heap use.
DateTime LocalNow();

// "hh": two-digit hour; "hh:mm": hour, colon, two-digit minute.
std::string FormatHH(const DateTime& value);
std::string FormatHHMM(const DateTime& value);

struct Null {
    bool operator==(const Null&) const = default;
};

class Value {
public:
    Value() = default;
    Value(Null) {}
    Value(std::int64_t v) : v_(v) {}
    Value(int v) : v_(static_cast<std::int64_t>(v)) {}
    Value(double v) : v_(v) {}
    Value(std::string v) : v_(std::move(v)) {}
    Value(std::string_view v) : v_(std::string(v)) {}
    Value(const char* v) : v_(std::string(v)) {}
    Value(DateTime v) : v_(v) {}

    bool IsNull() const { return std::holds_alternative<Null>(v_); }
    const auto& Raw() const { return v_; }

    // Conversions as a field read does them. Each throws StoreError for a
    // null ("Invalid use of Null") or a value that does not convert
    // ("Type mismatch", "Overflow").
    std::string AsText() const;
    std::int16_t AsInt16() const;
    std::int32_t AsInt32() const;
    DateTime AsDateTime() const;

    bool operator==(const Value&) const = default;

private:
    std::variant<Null, std::int64_t, double, std::string, DateTime> v_;
};

// Whole-number conversion of a text as the automation runtime does it:
// blanks around, an optional sign, digits, an optional fraction rounded half
// to even. Allocation-free: the shift poll uses it on every call.
struct WholeNumber {
    enum Kind { kOk, kNotANumber, kOverflow } kind = kNotANumber;
    std::int64_t value = 0;
};
WholeNumber ParseWholeNumber(std::string_view text);

}  // namespace dg::store
