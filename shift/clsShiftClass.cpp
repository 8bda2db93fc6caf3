#include "shift/clsShiftClass.h"

#include "dutygate/dutygate_commands.h"
#include "shift/class_settings_save.h"
#include "shift/errors.h"
#include "shift/frmClass.h"
#include "store/store.h"
#include "ui/message_box.h"

namespace dg::shift {
namespace {

// A failure of the database or table creation: its own description, OK, no title.
void ReportFailure(const std::string& description) { ui::MsgBox(description); }

}  // namespace

clsShiftClass::clsShiftClass() {
    if (!store::EntryExists(store::kDatabaseEntry, false)) store::EnsureDatabase(ReportFailure);
    // Held open while the table step runs; a database that cannot be opened ends the creation.
    store::Connection connection(store::kOpenConnectionString);
    CreateClassTimeTable(ReportFailure);
    mClass = std::make_unique<frmClass>();
    ConnectDialog();
    state_.latch = true;
    LoadShiftSettings(settings_);
}

clsShiftClass::~clsShiftClass() {
    if (mClass) {
        try {
            mClass->Unload();  // no window is left whose events reach nobody
        } catch (...) {
        }
    }
}

void clsShiftClass::ConnectDialog() {
    mClass->BackClass.Connect([this](std::int16_t vNum) { mClass_BackClass(vNum); });
}

void clsShiftClass::ShowSetClass() {
    // A dialog released by its 退出 has long returned from its handler by now.
    retiredDialog_.reset();
    if (!mClass) {
        mClass = std::make_unique<frmClass>();
        ConnectDialog();
    }
    mClass->ShowModeless();
}

void clsShiftClass::ShiftClass() {
    const std::int32_t status = ShiftClassAt(ReadLocalClock());
    if (status != 0) throw ShiftError(status, status::StandardDescription(status));
}

std::int32_t clsShiftClass::ShiftClassAt(const ClockReading& clock) {
    const CalcResult result = Calculate(settings_, state_, clock);
    if (result.announce && eventSetClass.Count() > 0) {
        const int shift = state_.announcedShift;
        eventSetClass.Raise(state_.banzhi, std::string(ShiftNumberText(shift)), settings_.crew[shift - 1],
                            static_cast<double>(state_.dutyDate));
    }
    return result.status;
}

void clsShiftClass::mClass_BackClass(std::int16_t vNum) {
    switch (vNum) {
        case DG_COMMAND_CONFIRM:
            // Checks and writes what the dialog shows, then refreshes the
            // shift settings; the latch and the announced values stay.
            if (mClass && mClass->Loaded()) SaveClassSettings(*mClass, settings_);
            break;
        case DG_COMMAND_LEAVE:
            // Raised from inside the dialog's own click handler: keep the
            // object alive until that handler has returned.
            retiredDialog_ = std::move(mClass);
            break;
        default: break;
    }
}

}  // namespace dg::shift
