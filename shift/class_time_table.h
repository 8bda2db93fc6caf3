#pragma once
// The table tblClassTime: its creation with the default row, and the settings
// load that copies its first row into a controller's shift settings.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/location.h"
#include "store/schema.h"
#include "store/value.h"

namespace dg::store {
class Recordset;
}

namespace dg::shift {

// The table and its columns are store/schema.h's (store::kClassTimeTable,
// store::kColumnBanzhi, store::kChangeTimeColumns, store::kCrewColumns).
// Column names match without regard to case, so they serve the load, the
// save and the dialog's fill alike.

// The controller's in-memory copy of the row.
struct ShiftSettings {
    std::string banzhiText;                    // shift system as text; empty before any load
    std::int16_t banzhi = 0;                   // shift system
    std::array<std::int32_t, 4> changeTime{};  // seconds after midnight, whole minutes
    std::array<std::string, 4> crew;           // crews 1 to 4
};

// Makes sure tblClassTime exists and holds a row. A failure to open the
// database or define the table goes to `report` and ends the step; failures
// from the append on are skipped (an existing table is no error; a column it
// lacks is added with its default).
void CreateClassTimeTable(const store::FailureReport& report);

// Reads the row into `settings` field by field, in the fixed order: shift
// system text, shift system, change times 1-4, crews 1-4. Throws StoreError at
// the first field that cannot be read; the fields before it keep their new
// values, the rest their old ones.
void ReadSettingsRow(const store::Recordset& row, ShiftSettings& settings);

// The settings load: the first row of the table into `settings`. On any
// failure shows the "交接班时间出错" message and returns false.
bool LoadShiftSettings(ShiftSettings& settings);

// The change-time text of the settings load ("hh:mm") read back as seconds.
std::int32_t SecondsOfHHMM(const store::DateTime& value);

}  // namespace dg::shift
