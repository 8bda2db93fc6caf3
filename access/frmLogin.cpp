#include "access/frmLogin.h"

#include <exception>
#include <string>

#include "access/pass_table.h"
#include "access/shared_state.h"
#include "base/failure_text.h"
#include "dutygate/dutygate_commands.h"
#include "store/errors.h"
#include "ui/message_box.h"

namespace dg::access {
namespace {

constexpr std::string_view kTitleNotice = "提示";
constexpr std::string_view kTitleWarning = "警告";
constexpr std::string_view kLogOutFirst = "请先退出此次登陆！";
constexpr std::string_view kAlreadyAtLevel = "您已经在该权限下！";
constexpr std::string_view kWrongPassword = "无效的密码，请重试！";

constexpr std::int16_t kConfirmed = DG_COMMAND_CONFIRM;
constexpr std::int16_t kLeft = DG_COMMAND_LEAVE;

ui::Look FontOf(double points) {
    ui::Look look;
    look.fontPoints = points;
    return look;
}

}  // namespace

frmLogin::frmLogin() : ui::Form("frmLogin") {}

void frmLogin::Build() {
    SetCaption("用户登陆");
    SetClientSize(3540, 1545);
    SetFormLook(12);
    SetCentred(true);

    const ui::Look small = FontOf(10.5);
    lblLabels0_ = AddLabel({"lblLabels", 0, {105, 150, 1080, 270}}, "用户名称：", small);
    Combo1_ = AddComboBox({"Combo1", -1, {1050, 120, 2322, 360}},
                          {std::string(kLevelAdmin), std::string(kLevelEngineer)});
    Combo1_.SetText(kLevelAdmin);
    lblLabels1_ = AddLabel({"lblLabels", 1, {105, 600, 1080, 270}}, "用户密码：", small);
    txtPassword_ = AddTextBox({"txtPassword", -1, {1050, 525, 2322, 345}}, {}, FontOf(14.25));
    txtPassword_.SetPasswordMask(true);
    cmdOK_ = AddButton({"cmdOK", -1, {240, 1020, 1140, 390}}, "确定", small);
    cmdCancel_ = AddButton({"cmdCancel", -1, {1860, 1020, 1140, 390}}, "取消", small);

    SetTabOrder({&cmdCancel_, &txtPassword_, &cmdOK_, &lblLabels0_, &lblLabels1_, &Combo1_});
    SetDefaultButton(cmdOK_);
    SetCancelButton(cmdCancel_);

    Combo1_.OnClick([this] { Combo1_Click(); });
    txtPassword_.OnChange([this] { txtPassword_Change(); });
    cmdOK_.OnClick([this] { cmdOK_Click(); });
    cmdCancel_.OnClick([this] { cmdCancel_Click(); });
}

void frmLogin::OnLoad() {
    strLevel() = Combo1_.Text();
    // Until the operator edits the box, the check compares the default password.
    strPassword() = std::string(kDefaultPassword);
}

bool frmLogin::OnQueryUnload(ui::CloseOrigin origin) {
    if (origin != ui::CloseOrigin::Frame || closingFromCode_) return false;
    // A close from the window frame is refused and done from code instead, so
    // that the dialog closes all the same without reporting anything.
    closingFromCode_ = true;
    try {
        Unload();
    } catch (const std::exception&) {
    }
    closingFromCode_ = false;
    // Refuse the frame's request only when the close from code has gone
    // through; a toolkit that lets no second close start while one is being
    // decided gets the frame's own close instead, with the same outcome.
    return !Loaded();
}

void frmLogin::txtPassword_Change() { strPassword() = txtPassword_.Text(); }

void frmLogin::Combo1_Click() {
    const std::string chosen = Combo1_.Text();
    if (iLevel_ <= 0) {
        strLevel() = chosen;
    } else if (chosen != strLevel()) {
        ui::MsgBox(kLogOutFirst, ui::Buttons::Ok, ui::Icon::Exclamation, kTitleWarning);
    } else {
        ui::MsgBox(kAlreadyAtLevel, ui::Buttons::Ok, ui::Icon::Exclamation, kTitleNotice);
    }
    // The combo goes on showing the chosen text; the check still uses strLevel.
    if (txtPassword_.Valid()) txtPassword_.SetFocus();
}

void frmLogin::cmdOK_Click() {
    bool match = false;
    try {
        match = CheckLevelPassword(strLevel(), strPassword());
    } catch (const store::StoreError& e) {
        // No check has run: nobody is logged in by it and nothing is reported.
        ui::MsgBox(FailureText("无法检查" + Quoted(strLevel()) + "的密码", e.what()), ui::Buttons::Ok,
                   ui::Icon::Critical, kTitleNotice);
        return;
    }
    if (match) {
        const std::int16_t level = LevelIndex(strLevel());
        if (level != 0) iLevel_ = level;
        Unload();
    } else {
        ui::MsgBox(kWrongPassword, ui::Buttons::Ok, ui::Icon::None, kTitleNotice);
        if (txtPassword_.Valid()) {
            txtPassword_.SetFocus();
            txtPassword_.SelectAll();
        }
    }
    BackAdmin.Raise(iLevel_, kConfirmed);
}

void frmLogin::cmdCancel_Click() {
    Unload();
    BackAdmin.Raise(iLevel_, kLeft);
}

}  // namespace dg::access
