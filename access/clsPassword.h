#pragma once
// clsPassword, the access controller: owns one login, one change-password and
// one logout dialog, shows them modally and relays every BackAdmin they raise.
#include <cstdint>
#include <memory>
#include <thread>

#include "ui/event.h"

namespace dg::access {

class frmLogin;
class Revise;
class frmLanding;

class clsPassword {
public:
    // Prepares the database and tblPass; creates the three dialog objects
    // without loading them. Throws store::StoreError when the database cannot
    // be opened.
    clsPassword();
    ~clsPassword();
    clsPassword(const clsPassword&) = delete;
    clsPassword& operator=(const clsPassword&) = delete;

    // Each shows its dialog modally and returns once it has closed; every
    // BackAdmin of the dialog reaches the handlers before that. Throws
    // ui::UiError when the dialog cannot be shown.
    void ShowDialog();
    void ShowRevise();
    void ShowLanding();

    // Data (level index: 0 none, 1 管理员, 2 工程师), iCommand (199 or 200).
    ui::Event<std::int16_t, std::int16_t> BackAdmin;

private:
    void mLogin_BackAdmin(std::int16_t Data, std::int16_t iCommand);
    void mRevise_BackAdmin(std::int16_t Data, std::int16_t iCommand);
    void mLanding_BackAdmin(std::int16_t Data, std::int16_t iCommand);
    void CheckThread() const;

    std::thread::id owner_;  // the thread that created the controller
    std::unique_ptr<frmLogin> mLogin;
    std::unique_ptr<Revise> mRevise;
    std::unique_ptr<frmLanding> mLanding;
};

}  // namespace dg::access
