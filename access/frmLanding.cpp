#include "access/frmLanding.h"

#include <string>

#include "access/pass_table.h"
#include "access/shared_state.h"
#include "dutygate/dutygate_commands.h"
#include "ui/message_box.h"

namespace dg::access {

frmLanding::frmLanding() : ui::Form("frmLanding") {}

void frmLanding::Build() {
    SetCaption("退出登陆");
    SetClientSize(4215, 870);
    SetFormLook(9);
    SetCentred(true);

    Label2_ = AddLabel({"Label2", -1, {120, 285, 1560, 240}}, "当前用户级别:");
    Combo1_ = AddComboBox({"Combo1", -1, {1800, 240, 1215, 360}},
                          {std::string(kLevelAdmin), std::string(kLevelEngineer)});
    Command1_ = AddButton({"Command1", -1, {3120, 240, 975, 345}}, "退出登陆");
    // No default and no cancel button: Esc does nothing.
    SetTabOrder({&Combo1_, &Command1_});
    Command1_.OnClick([this] { Command1_Click(); });
}

void frmLanding::OnLoad() { Combo1_.SetText(strLevel()); }

void frmLanding::Command1_Click() {
    iCommand_ = DG_COMMAND_LEAVE;
    // The dialog goes first; the question then stands alone.
    Unload();
    const ui::Answer answer = ui::MsgBox("确定要退出？", ui::Buttons::YesNo, ui::Icon::Question, "信息提示");
    if (answer != ui::Answer::Yes) return;
    BackAdmin.Raise(0, iCommand_);
}

}  // namespace dg::access
