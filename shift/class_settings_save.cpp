#include "shift/class_settings_save.h"

#include <exception>

#include "base/failure_text.h"
#include "shift/frmClass.h"
#include "store/errors.h"
#include "store/location.h"
#include "store/store.h"
#include "ui/message_box.h"

namespace dg::shift {
namespace {

constexpr std::string_view kLatestChangeTime = "23:59";

constexpr std::string_view kTextLaterThan2359 = "不能输入24点，请重新输入！";
constexpr std::string_view kTextNotATimeOfDay = "交接班时间无效，请重新输入！";
constexpr std::string_view kTextBadShiftSystem = "班制必须是1到4之间的整数，请重新输入！";
constexpr std::string_view kTextCrewTooLong = "班别名称不能超过10个字！";
constexpr std::string_view kTextNoRow = "没有找到交接班设置记录，未能保存！";
constexpr std::string_view kTextSaved = "已经保存！";

// Characters of a UTF-8 text (continuation bytes are not counted).
std::size_t CharCount(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    return count;
}

// One or two ASCII digits no greater than `max`.
bool ReadSmallNumber(std::string_view text, int max, int& value) {
    if (text.empty() || text.size() > 2) return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value <= max;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A whole number from 1 to 4, blanks around it allowed ("3", " 2 ", "04").
bool ReadShiftSystem(std::string_view text, std::int16_t& value) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    if (text.empty()) return false;
    int number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + (c - '0');
        if (number > 4) return false;  // also keeps long digit runs from overflowing
    }
    if (number < 1) return false;
    value = static_cast<std::int16_t>(number);
    return true;
}

}  // namespace

std::string PadTimeText(std::string_view text) {
    if (CharCount(text) < 2) return "0" + std::string(text);
    return std::string(text);
}

std::string ChangeTimeText(const SettingsEntry& entry, int row) { return entry.time[row] + ":" + entry.time[row + 4]; }

EntryFault CheckEntry(const SettingsEntry& entry, CheckedSettings& out) {
    // Compared as text, character by character, as the operator was always told.
    for (int row = 0; row < 4; ++row)
        if (ChangeTimeText(entry, row) > kLatestChangeTime) return EntryFault::LaterThan2359;

    CheckedSettings values;
    for (int row = 0; row < 4; ++row) {
        int hour = 0, minute = 0;
        if (!ReadSmallNumber(entry.time[row], 23, hour) || !ReadSmallNumber(entry.time[row + 4], 59, minute))
            return EntryFault::NotATimeOfDay;
        values.changeTime[row] = hour * 3600 + minute * 60;
    }
    if (!ReadShiftSystem(entry.banzhi, values.banzhi)) return EntryFault::BadShiftSystem;
    for (int row = 0; row < 4; ++row) {
        if (CharCount(entry.crew[row]) > kCrewMaxChars) return EntryFault::CrewTooLong;
        values.crew[row] = entry.crew[row];
    }
    out = std::move(values);
    return EntryFault::None;
}

std::string_view FaultText(EntryFault fault) {
    switch (fault) {
        case EntryFault::LaterThan2359: return kTextLaterThan2359;
        case EntryFault::NotATimeOfDay: return kTextNotATimeOfDay;
        case EntryFault::BadShiftSystem: return kTextBadShiftSystem;
        case EntryFault::CrewTooLong: return kTextCrewTooLong;
        case EntryFault::None: break;
    }
    return {};
}

std::optional<std::string> WriteClassSettings(const CheckedSettings& values, ShiftSettings& settings) {
    try {
        store::Connection connection(store::kOpenConnectionString);
        store::Recordset rows(connection, store::kClassTimeTable);
        // The first row is the one written; a table without one is not filled in here.
        if (rows.Eof()) return std::string(kTextNoRow);
        rows.Set(store::kColumnBanzhi, static_cast<int>(values.banzhi));
        for (int k = 0; k < 4; ++k) rows.Set(store::kChangeTimeColumns[k], store::DateTime{0, values.changeTime[k]});
        // An empty crew stays an empty text: a null would fail every later settings load.
        for (int k = 0; k < 4; ++k) rows.Set(store::kCrewColumns[k], std::string(values.crew[k]));
        rows.Update();
        // Read back the row just written, the way the settings load reads it.
        ShiftSettings refreshed = settings;
        ReadSettingsRow(rows, refreshed);
        settings = std::move(refreshed);
        return std::nullopt;
    } catch (const std::exception& e) {
        return FailureText("无法保存交接班设置", e.what());
    }
}

bool SaveClassSettings(frmClass& dialog, ShiftSettings& settings) {
    SettingsEntry entry;
    for (int i = 0; i < 8; ++i) {
        // Every box, those of inactive rows too; the padding stays whatever follows.
        entry.time[i] = PadTimeText(dialog.txtTime[i].Text());
        if (entry.time[i] != dialog.txtTime[i].Text()) dialog.txtTime[i].SetText(entry.time[i]);
    }
    entry.banzhi = dialog.txtBanzhi.Text();
    for (int i = 0; i < 4; ++i) entry.crew[i] = dialog.txtBanbie[i].Text();

    CheckedSettings values;
    const EntryFault fault = CheckEntry(entry, values);
    if (fault == EntryFault::LaterThan2359) {
        ui::MsgBox(FaultText(fault));  // OK, no icon, the default title
        return false;
    }
    if (fault != EntryFault::None) {
        ui::MsgBox(FaultText(fault), ui::Buttons::Ok, ui::Icon::Exclamation, kSaveTitle);
        return false;
    }
    if (const auto failure = WriteClassSettings(values, settings)) {
        ui::MsgBox(*failure, ui::Buttons::Ok, ui::Icon::Critical, kSaveTitle);
        return false;
    }
    ui::MsgBox(kTextSaved, ui::Buttons::Ok, ui::Icon::Information, kSaveTitle);
    return true;
}

}  // namespace dg::shift
