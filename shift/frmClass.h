#pragma once
// The shift settings dialog "换班设置". It never writes the database: its
// save and exit buttons raise BackClass (199 save, 200 exit) to the controller.
//
// Its controls are public, as the controller's save step reads the entered
// values and writes the padded time texts back. Every handle is valid only
// while the dialog is loaded.
#include <array>
#include <cstdint>
#include <string>

#include "ui/controls.h"
#include "ui/event.h"
#include "ui/form.h"

namespace dg::shift {

class frmClass : public ui::Form {
public:
    frmClass();

    // vNum: 199 save, 200 exit (raised after the dialog has unloaded itself).
    ui::Event<std::int16_t> BackClass;

    // --- controls, by their names and array indices ---
    ui::TextBox txtBanzhi;                  // shift system
    std::array<ui::TextBox, 8> txtTime;     // 0-3 hours of rows 1-4, 4-7 their minutes
    std::array<ui::UpDown, 9> UpDown1;      // 0-7 spinners of txtTime, 8 of txtBanzhi
    std::array<ui::TextBox, 4> txtBanbie;   // crews of rows 1-4
    std::array<ui::Label, 4> lblClassTime;  // "1班结束时间:" .. "4班结束时间:"
    std::array<ui::Label, 6> lblBanzhi;     // 0 "班制选取：", 1 "班", 2-5 "班别：" of rows 1-4
    std::array<ui::Label, 8> lblHour;       // "时": elements 7, 0, 1, 2 (rows 1-4)
    std::array<ui::Label, 7> lblMinute;     // "分": elements 6, 0, 1, 2 (rows 1-4)
    ui::Button cmdSave;
    ui::Button cmdExit;
    ui::Frame Frame1;

    // The array index of the "时" and "分" labels of row r (1-4).
    static constexpr std::array<int, 4> kHourLabelIndex{7, 0, 1, 2};
    static constexpr std::array<int, 4> kMinuteLabelIndex{6, 0, 1, 2};

    // Rows 1..n active, where n comes from the exact text of the shift-system
    // box ("1", "2", "3"; anything else gives 4).
    static int ActiveRowCount(const std::string& banzhiText);

protected:
    void Build() override;
    void OnLoad() override;

private:
    void FillFromTable();
    void ApplyActiveRows();
    void OnSpinnerChange(int index);
};

}  // namespace dg::shift
