#pragma once
// frmLanding, the logout dialog: shows the level in hand and, once the
// operator has confirmed, reports the logout.
#include <cstdint>

#include "ui/controls.h"
#include "ui/event.h"
#include "ui/form.h"

namespace dg::access {

class frmLanding : public ui::Form {
public:
    frmLanding();

    // Data (always 0), iCommand (200) on a confirmed logout.
    ui::Event<std::int16_t, std::int16_t> BackAdmin;

protected:
    void Build() override;
    void OnLoad() override;

private:
    void Command1_Click();

    std::int16_t iCommand_ = 0;  // command code of the last action

    ui::Label Label2_;
    ui::ComboBox Combo1_;
    ui::Button Command1_;
};

}  // namespace dg::access
