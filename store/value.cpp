#include "store/value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "store/errors.h"
#include "store/platform.h"

namespace dg::store {
namespace {

// Days from 1970-01-01 for a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t yy = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

// 1899-12-30 counted from 1970-01-01.
constexpr std::int64_t kZeroDateFromEpoch = -25569;

bool DaysInMonthOk(int y, int m, int d) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1) return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

// Reads an unsigned run of 1..maxDigits digits at text[pos].
bool ReadNumber(std::string_view text, std::size_t& pos, std::size_t minDigits, std::size_t maxDigits, int& out) {
    std::size_t start = pos;
    int value = 0;
    while (pos < text.size() && pos - start < maxDigits && text[pos] >= '0' && text[pos] <= '9') {
        value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    if (pos - start < minDigits) return false;
    out = value;
    return true;
}

bool ReadTime(std::string_view text, std::size_t& pos, int& seconds) {
    int h = 0, m = 0, s = 0;
    if (!ReadNumber(text, pos, 1, 2, h)) return false;
    if (pos >= text.size() || text[pos] != ':') return false;
    ++pos;
    if (!ReadNumber(text, pos, 2, 2, m)) return false;
    if (pos < text.size() && text[pos] == ':') {
        ++pos;
        if (!ReadNumber(text, pos, 2, 2, s)) return false;
    }
    if (h > 23 || m > 59 || s > 59) return false;
    seconds = h * 3600 + m * 60 + s;
    return true;
}

// The automation runtime's errors, with its own texts after the Chinese.
[[noreturn]] void TypeMismatch() { throw StoreError(status::StandardDescription(status::kTypeMismatch)); }
[[noreturn]] void Overflow() { throw StoreError(status::StandardDescription(status::kOverflow)); }
[[noreturn]] void InvalidNull() { throw StoreError("无效地使用了 Null：Invalid use of Null"); }

std::int64_t RoundHalfEven(double v) {
    return static_cast<std::int64_t>(std::nearbyint(v));  // default rounding mode: half to even
}

}  // namespace

DateTime DateTime::FromCivil(int year, int month, int dayOfMonth, int hour, int minute, int second) {
    return {
        static_cast<std::int32_t>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(dayOfMonth)) -
                                  kZeroDateFromEpoch),
        hour * 3600 + minute * 60 + second};
}

void DateTime::ToCivil(int& year, int& month, int& dayOfMonth) const {
    CivilFromDays(static_cast<std::int64_t>(day) + kZeroDateFromEpoch, year, month, dayOfMonth);
}

std::string DateTime::ToStoreText() const {
    int y = 0, m = 0, d = 0;
    ToCivil(y, m, d);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, Hour(), Minute(), Second());
    return buf;
}

std::optional<DateTime> DateTime::Parse(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    std::size_t pos = 0;
    int seconds = 0;
    // A time of day alone.
    if (ReadTime(text, pos, seconds) && pos == text.size()) return DateTime{0, seconds};
    pos = 0;
    int y = 0, m = 0, d = 0;
    if (!ReadNumber(text, pos, 4, 4, y) || pos >= text.size() || text[pos++] != '-') return std::nullopt;
    if (!ReadNumber(text, pos, 1, 2, m) || pos >= text.size() || text[pos++] != '-') return std::nullopt;
    if (!ReadNumber(text, pos, 1, 2, d) || !DaysInMonthOk(y, m, d)) return std::nullopt;
    DateTime result = FromCivil(y, m, d);
    if (pos == text.size()) return result;
    if (text[pos] != ' ' && text[pos] != 'T') return std::nullopt;
    ++pos;
    if (!ReadTime(text, pos, seconds) || pos != text.size()) return std::nullopt;
    result.seconds = seconds;
    return result;
}

DateTime LocalNow() {
    const platform::LocalTime now = platform::ReadLocalTime();
    DateTime result = DateTime::FromCivil(now.year, now.month, now.day);
    result.seconds = now.hour * 3600 + now.minute * 60 + now.second;
    return result;
}

std::string FormatHH(const DateTime& value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", value.Hour());
    return buf;
}

std::string FormatHHMM(const DateTime& value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d", value.Hour(), value.Minute());
    return buf;
}

WholeNumber ParseWholeNumber(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (text.empty()) return {};
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
    if (whole.empty() && fraction.empty()) return {};
    for (char c : whole)
        if (c < '0' || c > '9') return {};
    for (char c : fraction)
        if (c < '0' || c > '9') return {};
    std::int64_t value = 0;
    for (char c : whole) {
        if (value > (std::numeric_limits<std::int64_t>::max() - (c - '0')) / 10) return {WholeNumber::kOverflow, 0};
        value = value * 10 + (c - '0');
    }
    // Round half to even on the first fraction digit and whether any digit follows.
    if (!fraction.empty()) {
        const int first = fraction[0] - '0';
        const bool rest = fraction.find_first_not_of('0', 1) != std::string_view::npos;
        if (first > 5 || (first == 5 && (rest || value % 2 == 1))) {
            if (value == std::numeric_limits<std::int64_t>::max()) return {WholeNumber::kOverflow, 0};
            ++value;
        }
    }
    return {WholeNumber::kOk, negative ? -value : value};
}

std::string Value::AsText() const {
    struct Visitor {
        std::string operator()(const Null&) const { InvalidNull(); }
        std::string operator()(std::int64_t v) const { return std::to_string(v); }
        std::string operator()(double v) const {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.15g", v);
            return buf;
        }
        std::string operator()(const std::string& v) const { return v; }
        std::string operator()(const DateTime& v) const {
            if (v.day == 0) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", v.Hour(), v.Minute(), v.Second());
                return buf;
            }
            return v.seconds == 0 ? v.ToStoreText().substr(0, 10) : v.ToStoreText();
        }
    };
    return std::visit(Visitor{}, v_);
}

std::int32_t Value::AsInt32() const {
    std::int64_t n = 0;
    if (IsNull()) InvalidNull();
    if (auto p = std::get_if<std::int64_t>(&v_)) {
        n = *p;
    } else if (auto d = std::get_if<double>(&v_)) {
        if (!std::isfinite(*d) || std::fabs(*d) > 9.2e18) Overflow();
        n = RoundHalfEven(*d);
    } else if (auto s = std::get_if<std::string>(&v_)) {
        const WholeNumber w = ParseWholeNumber(*s);
        if (w.kind == WholeNumber::kNotANumber) TypeMismatch();
        if (w.kind == WholeNumber::kOverflow) Overflow();
        n = w.value;
    } else {
        TypeMismatch();
    }
    if (n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max()) Overflow();
    return static_cast<std::int32_t>(n);
}

std::int16_t Value::AsInt16() const {
    const std::int32_t n = AsInt32();
    if (n < std::numeric_limits<std::int16_t>::min() || n > std::numeric_limits<std::int16_t>::max()) Overflow();
    return static_cast<std::int16_t>(n);
}

DateTime Value::AsDateTime() const {
    if (IsNull()) InvalidNull();
    if (auto dt = std::get_if<DateTime>(&v_)) return *dt;
    if (auto s = std::get_if<std::string>(&v_)) {
        if (auto parsed = DateTime::Parse(*s)) return *parsed;
        TypeMismatch();
    }
    // A number is an automation date: days since the zero date, fraction the time of day.
    double serial = 0;
    if (auto p = std::get_if<std::int64_t>(&v_)) serial = static_cast<double>(*p);
    if (auto d = std::get_if<double>(&v_)) serial = *d;
    if (!std::isfinite(serial) || std::fabs(serial) > 3.0e6) Overflow();
    const double whole = std::floor(serial);
    auto seconds = static_cast<std::int32_t>(std::lround((serial - whole) * 86400.0));
    auto day = static_cast<std::int32_t>(whole);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++day;
    }
    return {day, seconds};
}

}  // namespace dg::store
