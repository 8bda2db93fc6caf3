#pragma once
// A small form with one control of each kind, recording what its handlers saw.
#include <functional>
#include <string>
#include <vector>

#include "ui/form.h"

namespace dg::ui::test {

struct TestFormOptions {
    bool cancelButton = true;   // cmdCancel answers Esc
    bool defaultButton = true;  // cmdOK answers Enter
    bool tabOrder = true;       // txtName first
};

class TestForm : public Form {
public:
    explicit TestForm(TestFormOptions options = {}) : Form("frmTest"), options_(options) {}

    // Own variables: they outlive the window.
    std::vector<std::string> log;
    std::vector<CloseOrigin> queries;
    bool refuseClose = false;
    int loads = 0;
    std::function<void()> onOk;      // extra work in cmdOK's click
    std::function<void()> onCancel;  // extra work in cmdCancel's click

    Label lblTitle;
    Frame fraBox;
    TextBox txtName;
    TextBox txtPassword;
    ComboBox Combo1;
    UpDown UpDown1;
    Label lblValue;
    Button cmdOK;
    Button cmdCancel;
    Button cmdOther;

protected:
    void Build() override {
        SetCaption("测试窗体");
        SetClientSize(4800, 3600);  // 320 x 240 pixels
        SetFormLook(10.5, Rgb{0xE0, 0xE8, 0xF0});
        SetCentred(true);
        lblTitle = AddLabel(
            {"lblTitle", -1, {120, 120, 3000, 300}}, "操作员登录 Login",
            Look{.fontPoints = 12.0, .bold = true, .foreground = Rgb{0x00, 0x00, 0x80}, .transparent = true});
        fraBox = AddFrame({"fraBox", -1, {120, 480, 4560, 1500}}, "口令", Look{.foreground = Rgb{0xC0, 0x00, 0x00}});
        txtName = AddTextBox({"txtName", -1, {240, 300, 2000, 360}, &fraBox}, "张三");
        txtPassword = AddTextBox({"txtPassword", -1, {240, 840, 2000, 360}, &fraBox});
        txtPassword.SetPasswordMask(true);
        Combo1 = AddComboBox({"Combo1", -1, {2400, 300, 1900, 360}, &fraBox}, {"管理员", "工程师"});
        UpDown1 = AddUpDown({"UpDown1", 0, {2400, 840, 255, 420}, &fraBox}, 0, 3);
        lblValue = AddLabel({"lblValue", 0, {2760, 900, 900, 300}, &fraBox}, "0",
                            Look{.background = Rgb{0xFF, 0xFF, 0xC0}, .align = Align::Center});
        cmdOK = AddButton({"cmdOK", -1, {600, 2400, 1140, 390}}, "确定");
        cmdCancel = AddButton({"cmdCancel", -1, {1920, 2400, 1140, 390}}, "取消");
        cmdOther = AddButton({"cmdOther", -1, {3240, 2400, 1140, 390}}, "其他");
        if (options_.tabOrder)
            SetTabOrder({&lblTitle, &txtName, &txtPassword, &Combo1, &UpDown1, &cmdOK, &cmdCancel, &cmdOther});
        if (options_.defaultButton) SetDefaultButton(cmdOK);
        if (options_.cancelButton) SetCancelButton(cmdCancel);

        txtName.OnChange([this] { log.push_back("name:" + txtName.Text()); });
        txtName.OnLostFocus([this] { log.push_back("name-lost"); });
        txtPassword.OnChange([this] { log.push_back("password:" + txtPassword.Text()); });
        Combo1.OnClick([this] { log.push_back("combo:" + Combo1.Text()); });
        UpDown1.OnChange([this] {
            log.push_back("spin:" + std::to_string(UpDown1.Value()));
            lblValue.SetCaption(std::to_string(UpDown1.Value()));
        });
        cmdOK.OnClick([this] {
            log.push_back("ok");
            if (onOk) onOk();
        });
        cmdCancel.OnClick([this] {
            log.push_back("cancel");
            if (onCancel) onCancel();
        });
        cmdOther.OnClick([this] { log.push_back("other"); });
    }

    void OnLoad() override {
        ++loads;
        Combo1.SetText("管理员");
        log.push_back("load");
    }

    bool OnQueryUnload(CloseOrigin origin) override {
        queries.push_back(origin);
        return refuseClose;
    }

    void OnUnload() override { log.push_back("unload"); }

private:
    TestFormOptions options_;
};

}  // namespace dg::ui::test
