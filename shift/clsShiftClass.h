#pragma once
// clsShiftClass, the shift controller: owns the shift settings, the
// calculation state behind ShiftClass and one settings dialog (mClass).
#include <cstdint>
#include <memory>
#include <string>

#include "shift/calculation.h"
#include "shift/class_time_table.h"
#include "ui/event.h"

namespace dg::shift {

class frmClass;

class clsShiftClass {
public:
    // Prepares the database and tblClassTime and loads the shift settings.
    // Throws store::StoreError when the database cannot be opened.
    clsShiftClass();
    ~clsShiftClass();
    clsShiftClass(const clsShiftClass&) = delete;
    clsShiftClass& operator=(const clsShiftClass&) = delete;

    // Shows the settings dialog modeless and returns at once; an open dialog
    // stays the one window. After 退出 has released the dialog, a new one is
    // made. Throws ui::UiError when no dialog can be shown.
    void ShowSetClass();
    // Polls the local clock; raises eventSetClass when a shift change is due.
    // Throws ShiftError for a shift system that cannot be calculated.
    void ShiftClass();
    // The same poll with a given clock reading. Returns the status (0 or a
    // shift::kStatus* value) instead of throwing.
    std::int32_t ShiftClassAt(const ClockReading& clock);

    // iBanzhi, iBanCii ("1"-"4"), strBanBie, dDateNow (days since 1899-12-30).
    ui::Event<std::int16_t, const std::string&, const std::string&, double> eventSetClass;

    const ShiftSettings& Settings() const { return settings_; }
    const CalcState& State() const { return state_; }
    frmClass* Dialog() const { return mClass.get(); }

private:
    void mClass_BackClass(std::int16_t vNum);
    void ConnectDialog();

    ShiftSettings settings_;
    CalcState state_;
    std::unique_ptr<frmClass> mClass;
    std::unique_ptr<frmClass> retiredDialog_;  // released by 退出, destroyed later
};

}  // namespace dg::shift
