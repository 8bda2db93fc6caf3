#include "shift/class_time_table.h"

#include "store/store.h"
#include "store/table_step.h"
#include "ui/message_box.h"

namespace dg::shift {
namespace {

constexpr const char* kDefaultTimes[4] = {"00:00", "6:00", "12:00", "18:00"};
constexpr const char* kDefaultCrews[4] = {"甲班", "乙班", "丙班", "丁班"};

constexpr std::string_view kLoadFailedText = "没有获得有效的交接班时间\r\n请重新设置交接班时间！";
constexpr std::string_view kLoadFailedTitle = "交接班时间出错";

}  // namespace

std::int32_t SecondsOfHHMM(const store::DateTime& value) { return value.Hour() * 3600 + value.Minute() * 60; }

void CreateClassTimeTable(const store::FailureReport& report) {
    const auto defineColumns = [](store::TableDef& table) {
        table.AppendColumn(std::string(kColumnBanzhi), store::kTypeInteger, 0);
        for (const char* name : kChangeTimeColumns) table.AppendColumn(name, store::kTypeDate, 0);
        for (const char* name : kCrewColumns) table.AppendColumn(name, store::kTypeText, 10);
    };
    const auto seedDefaultRow = [](store::Recordset& rows) {
        rows.AddNew();
        rows.Set(kColumnBanzhi, 4);
        for (int k = 0; k < 4; ++k) {
            // The literals formatted "hh:mm": "6:00" is written as 06:00.
            const auto time = store::DateTime::Parse(kDefaultTimes[k]);
            rows.Set(kChangeTimeColumns[k], store::FormatHHMM(*time));
        }
        for (int k = 0; k < 4; ++k) rows.Set(kCrewColumns[k], kDefaultCrews[k]);
        rows.Update();
    };
    store::CreateTableWithSeed(store::kOpenConnectionString, kClassTimeTable, defineColumns, seedDefaultRow, report);
}

void ReadSettingsRow(const store::Recordset& row, ShiftSettings& settings) {
    settings.banzhiText = row.Get(kColumnBanzhi).AsText();
    settings.banzhi = row.Get(kColumnBanzhi).AsInt16();
    for (int k = 0; k < 4; ++k) settings.changeTime[k] = SecondsOfHHMM(row.Get(kChangeTimeColumns[k]).AsDateTime());
    for (int k = 0; k < 4; ++k) settings.crew[k] = row.Get(kCrewColumns[k]).AsText();
}

bool LoadShiftSettings(ShiftSettings& settings) {
    try {
        store::Connection connection(store::kCreateConnectionString);
        store::Recordset rows(connection, kClassTimeTable);
        ReadSettingsRow(rows, settings);
        return true;
    } catch (const std::exception&) {
        ui::MsgBox(kLoadFailedText, ui::Buttons::Ok, ui::Icon::Critical, kLoadFailedTitle);
        return false;
    }
}

}  // namespace dg::shift
