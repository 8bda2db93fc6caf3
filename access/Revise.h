#pragma once
// Revise, the change-password dialog: changes the password of the level in
// hand (strLevel) once the old password has been confirmed.
#include <cstdint>

#include "ui/controls.h"
#include "ui/event.h"
#include "ui/form.h"

namespace dg::access {

class Revise : public ui::Form {
public:
    Revise();

    // Data (level index of strLevel), iCommand (always 199).
    ui::Event<std::int16_t, std::int16_t> BackAdmin;

protected:
    void Build() override;
    void OnLoad() override;

private:
    void Text2_LostFocus();
    void Command1_Click();
    void Command2_Click();
    void LockNewPassword(bool locked);

    bool checking_ = false;            // the old-password check is running (its message box is up)
    bool storedPasswordNull_ = false;  // the level's row holds no password: no old password matches

    ui::Label Label1_[4];
    ui::ComboBox Combo1_;
    ui::TextBox Text2_;
    ui::TextBox Text1_1_;
    ui::TextBox Text1_2_;
    ui::Button Command1_;
    ui::Button Command2_;
};

}  // namespace dg::access
