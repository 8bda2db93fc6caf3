#include "shift/class_time_table.h"

#include "store/store.h"
#include "store/table_step.h"
#include "ui/message_box.h"

namespace dg::shift {
namespace {

constexpr std::string_view kLoadFailedText = "没有获得有效的交接班时间\r\n请重新设置交接班时间！";
constexpr std::string_view kLoadFailedTitle = "交接班时间出错";

}  // namespace

std::int32_t SecondsOfHHMM(const store::DateTime& value) { return value.Hour() * 3600 + value.Minute() * 60; }

void CreateClassTimeTable(const store::FailureReport& report) {
    store::CreateTableWithSeed(store::kOpenConnectionString, store::kClassTimeTableSpec, report);
}

void ReadSettingsRow(const store::Recordset& row, ShiftSettings& settings) {
    settings.banzhiText = row.Get(store::kColumnBanzhi).AsText();
    settings.banzhi = row.Get(store::kColumnBanzhi).AsInt16();
    for (int k = 0; k < 4; ++k)
        settings.changeTime[k] = SecondsOfHHMM(row.Get(store::kChangeTimeColumns[k]).AsDateTime());
    for (int k = 0; k < 4; ++k) settings.crew[k] = row.Get(store::kCrewColumns[k]).AsText();
}

bool LoadShiftSettings(ShiftSettings& settings) {
    try {
        store::Connection connection(store::kCreateConnectionString);
        store::Recordset rows(connection, store::kClassTimeTable);
        ReadSettingsRow(rows, settings);
        return true;
    } catch (const std::exception&) {
        ui::MsgBox(kLoadFailedText, ui::Buttons::Ok, ui::Icon::Critical, kLoadFailedTitle);
        return false;
    }
}

}  // namespace dg::shift
