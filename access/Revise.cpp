#include "access/Revise.h"

#include <exception>
#include <string>

#include "access/pass_table.h"
#include "base/failure_text.h"
#include "dutygate/dutygate_commands.h"
#include "access/shared_state.h"
#include "store/errors.h"
#include "ui/message_box.h"

namespace dg::access {
namespace {

constexpr std::string_view kTitle = "更改密码";
constexpr std::string_view kWrongOldPassword = "您的原密码输入错误，请重新输入。";
constexpr std::string_view kMismatch = "两次输入的密码不同，请您重新输入";
constexpr std::string_view kEmptyPassword = "密码为空危险，请输入密码！";
constexpr std::string_view kChanged = "更改密码成功";
constexpr std::string_view kNoLevelRow = "没有找到该用户级别，密码未修改！";

constexpr std::int16_t kConfirmed = DG_COMMAND_CONFIRM;

void Notice(std::string_view text) { ui::MsgBox(text, ui::Buttons::Ok, ui::Icon::Exclamation, kTitle); }
void Failure(std::string_view text) { ui::MsgBox(text, ui::Buttons::Ok, ui::Icon::Critical, kTitle); }

}  // namespace

Revise::Revise() : ui::Form("Revise") {}

void Revise::Build() {
    SetCaption("修改密码");
    SetClientSize(4470, 1980);
    SetFormLook(9);
    SetCentred(true);

    const std::vector<std::string> levels{std::string(kLevelAdmin), std::string(kLevelEngineer)};
    Label1_[3] = AddLabel({"Label1", 3, {240, 120, 1125, 240}}, "用户级别：");
    Combo1_ = AddComboBox({"Combo1", -1, {1560, 60, 1695, 360}}, levels);
    Label1_[0] = AddLabel({"Label1", 0, {240, 600, 900, 240}}, "原密码：");
    Text2_ = AddTextBox({"Text2", -1, {1560, 530, 1695, 405}});
    Label1_[1] = AddLabel({"Label1", 1, {240, 1080, 900, 240}}, "新密码：");
    Text1_1_ = AddTextBox({"Text1", 1, {1560, 1000, 1695, 405}});
    Label1_[2] = AddLabel({"Label1", 2, {240, 1560, 1350, 240}}, "确认新密码：");
    Text1_2_ = AddTextBox({"Text1", 2, {1560, 1500, 1695, 405}});
    Command1_ = AddButton({"Command1", -1, {3480, 360, 855, 375}}, "  确定  ");
    Command2_ = AddButton({"Command2", -1, {3480, 1200, 855, 375}}, "  退出  ");
    for (ui::TextBox* box : {&Text2_, &Text1_1_, &Text1_2_}) box->SetPasswordMask(true);

    // No default and no cancel button: Enter in a box and Esc do nothing.
    SetTabOrder({&Combo1_, &Text2_, &Command1_, &Command2_, &Text1_1_, &Text1_2_});

    Text2_.OnLostFocus([this] { Text2_LostFocus(); });
    Command1_.OnClick([this] { Command1_Click(); });
    Command2_.OnClick([this] { Command2_Click(); });
}

void Revise::OnLoad() {
    storedPasswordNull_ = false;
    try {
        const std::optional<store::Value> stored = ReadLevelPassword(strLevel());
        // Without a row the password in hand stays what it was.
        if (stored) {
            if (stored->IsNull())
                storedPasswordNull_ = true;
            else
                strPassword() = stored->AsText();
        }
    } catch (const store::StoreError& e) {
        // The dialog opens all the same; a change cannot be written either
        // and says so when it is tried.
        Failure(FailureText("无法读取" + Quoted(strLevel()) + "的密码", e.what()));
    }
    Text2_.SetLocked(false);
    LockNewPassword(true);
    Combo1_.SetText(strLevel());
}

void Revise::LockNewPassword(bool locked) {
    Text1_1_.SetLocked(locked);
    Text1_2_.SetLocked(locked);
}

void Revise::Text2_LostFocus() {
    // The message box below takes the focus: it must not start a second check.
    if (checking_) return;
    checking_ = true;
    try {
        if (storedPasswordNull_ || Text2_.Text() != strPassword()) {
            Notice(kWrongOldPassword);
            LockNewPassword(true);
            Text2_.SetFocus();
        } else {
            LockNewPassword(false);
        }
    } catch (const std::exception&) {
        // A control gone meanwhile (the dialog closed): nothing left to check.
    }
    checking_ = false;
}

void Revise::Command1_Click() {
    const std::string newPassword = Text1_1_.Text();
    if (Text1_2_.Text() != newPassword) {
        Notice(kMismatch);
        BackAdmin.Raise(LevelIndex(strLevel()), kConfirmed);
        return;
    }
    if (newPassword.empty()) {
        Notice(kEmptyPassword);
        return;
    }
    // Nothing is written unless the old password stands confirmed: the new
    // boxes unlocked by its check, and the old box still holding it.
    if (Text1_1_.Locked() || storedPasswordNull_ || Text2_.Text() != strPassword()) {
        Notice(kWrongOldPassword);
        Text2_.SetFocus();
        return;
    }
    // Written before it is believed: the password in hand changes only once
    // the row holds the new password.
    bool written = false;
    try {
        written = WriteLevelPassword(strLevel(), newPassword);
    } catch (const store::StoreError& e) {
        Failure(FailureText("无法更改" + Quoted(strLevel()) + "的密码", e.what()));
        return;
    }
    if (!written) {
        Failure(kNoLevelRow);
        return;
    }
    strPassword() = newPassword;
    Notice(kChanged);
    Unload();
    BackAdmin.Raise(LevelIndex(strLevel()), kConfirmed);
}

void Revise::Command2_Click() { Unload(); }

}  // namespace dg::access
