#pragma once
// The save step of the shift settings dialog: pads and checks what the
// operator entered, writes the first row of tblClassTime in one update and
// refreshes the controller's shift settings from it.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "shift/class_time_table.h"

namespace dg::shift {

class frmClass;

// The texts of the dialog at the moment of the save.
struct SettingsEntry {
    std::string banzhi;               // txtBanzhi
    std::array<std::string, 8> time;  // txtTime 0-3 hours, 4-7 minutes of rows 1-4
    std::array<std::string, 4> crew;  // txtBanbie 0-3
};

// What the row receives once every check has passed.
struct CheckedSettings {
    std::int16_t banzhi = 0;
    std::array<std::int32_t, 4> changeTime{};  // seconds after midnight
    std::array<std::string, 4> crew;
};

// The first check that an entry fails, in the order they run.
enum class EntryFault {
    None,
    LaterThan2359,   // a change time text sorts after "23:59"
    NotATimeOfDay,   // a change time that is no time of day (19:99, 1a:00, 100:00)
    BadShiftSystem,  // not a whole number from 1 to 4
    CrewTooLong,     // a crew name of more than 10 characters
};

inline constexpr std::string_view kSaveTitle = "换班设置";
inline constexpr std::size_t kCrewMaxChars = 10;

// A box of fewer than two characters gets a leading "0" ("7" -> "07", "" -> "0").
std::string PadTimeText(std::string_view text);

// "hh:mm" for row `row` (0-3): hour text, ":", minute text.
std::string ChangeTimeText(const SettingsEntry& entry, int row);

// Runs the checks on an entry whose time texts are already padded. On None,
// `out` holds the values to store.
EntryFault CheckEntry(const SettingsEntry& entry, CheckedSettings& out);

// The operator's message for a fault (empty for None).
std::string_view FaultText(EntryFault fault);

// Writes the values into the first row of tblClassTime with one update and
// reads the row back into `settings`. Returns the description of a failure
// (nothing written, `settings` unchanged), or nothing on success.
std::optional<std::string> WriteClassSettings(const CheckedSettings& values, ShiftSettings& settings);

// The whole save, as the dialog's save button asks for it: pads the eight
// time boxes in the dialog, checks, writes, refreshes `settings` and tells
// the operator the outcome. Returns true when the row was written.
bool SaveClassSettings(frmClass& dialog, ShiftSettings& settings);

}  // namespace dg::shift
