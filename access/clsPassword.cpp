#include "access/clsPassword.h"

#include <exception>
#include <string>

#include "access/Revise.h"
#include "access/frmLanding.h"
#include "access/frmLogin.h"
#include "access/pass_table.h"
#include "store/location.h"
#include "store/store.h"
#include "ui/errors.h"
#include "ui/message_box.h"

namespace dg::access {
namespace {

// A failure of the database or table creation: its own description, OK, no title.
void ReportFailure(const std::string& description) { ui::MsgBox(description); }

// Runs a step of the tear-down; a failure does not stop the next one.
template <typename Step>
void Ignoring(Step&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace

clsPassword::clsPassword() : owner_(std::this_thread::get_id()) {
    if (!store::EntryExists(store::kDatabaseEntry, false)) store::EnsureDatabase(ReportFailure);
    // Held open while the table step runs; a database that cannot be opened
    // ends the creation here.
    store::Connection connection(store::kOpenConnectionString);
    CreatePassTable(ReportFailure);

    mLogin = std::make_unique<frmLogin>();
    mRevise = std::make_unique<Revise>();
    mLanding = std::make_unique<frmLanding>();
    mLogin->BackAdmin.Connect([this](std::int16_t d, std::int16_t c) { mLogin_BackAdmin(d, c); });
    mRevise->BackAdmin.Connect([this](std::int16_t d, std::int16_t c) { mRevise_BackAdmin(d, c); });
    mLanding->BackAdmin.Connect([this](std::int16_t d, std::int16_t c) { mLanding_BackAdmin(d, c); });
}

clsPassword::~clsPassword() {
    Ignoring([&] { mLogin->Unload(); });
    Ignoring([&] { mLanding->Unload(); });
    Ignoring([&] { mRevise->Unload(); });
    Ignoring([&] { mLogin.reset(); });
    Ignoring([&] { mRevise.reset(); });
    Ignoring([&] { mLanding.reset(); });
}

void clsPassword::CheckThread() const {
    if (std::this_thread::get_id() != owner_)
        throw ui::UiError(ui::kStatusWrongThread, "不能从创建 clsPassword 对象的线程以外的线程调用它");
}

void clsPassword::ShowDialog() {
    CheckThread();
    mLogin->ShowModal();
}

void clsPassword::ShowRevise() {
    CheckThread();
    mRevise->ShowModal();
}

void clsPassword::ShowLanding() {
    CheckThread();
    mLanding->ShowModal();
}

void clsPassword::mLogin_BackAdmin(std::int16_t Data, std::int16_t iCommand) { BackAdmin.Raise(Data, iCommand); }

void clsPassword::mRevise_BackAdmin(std::int16_t Data, std::int16_t iCommand) { BackAdmin.Raise(Data, iCommand); }

void clsPassword::mLanding_BackAdmin(std::int16_t, std::int16_t iCommand) {
    // A confirmed logout ends the login of this controller's login dialog, so
    // that another level can be chosen next time.
    mLogin->ResetLogin();
    BackAdmin.Raise(0, iCommand);
}

}  // namespace dg::access
