#pragma once
// frmLogin, the login dialog: the operator picks a user level and types its
// password. A successful check is remembered in iLevel, which outlives the
// window.
#include <cstdint>

#include "ui/controls.h"
#include "ui/event.h"
#include "ui/form.h"

namespace dg::access {

class frmLogin : public ui::Form {
public:
    frmLogin();

    // The logged-in level index: 0 none, 1 管理员, 2 工程师.
    std::int16_t iLevel() const { return iLevel_; }
    // Ends the login: back to the not-logged-in state.
    void ResetLogin() { iLevel_ = 0; }

    // Data (iLevel), iCommand: 199 after every check, 200 on cancel.
    ui::Event<std::int16_t, std::int16_t> BackAdmin;

protected:
    void Build() override;
    void OnLoad() override;
    bool OnQueryUnload(ui::CloseOrigin origin) override;

private:
    void Combo1_Click();
    void txtPassword_Change();
    void cmdOK_Click();
    void cmdCancel_Click();

    std::int16_t iLevel_ = 0;
    bool closingFromCode_ = false;  // set while a frame close is redone from code

    ui::Label lblLabels0_;
    ui::Label lblLabels1_;
    ui::ComboBox Combo1_;
    ui::TextBox txtPassword_;
    ui::Button cmdOK_;
    ui::Button cmdCancel_;
};

}  // namespace dg::access
