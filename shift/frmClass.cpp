#include "shift/frmClass.h"

#include <cstdio>
#include <exception>
#include <string>

#include "dutygate/dutygate_commands.h"
#include "shift/class_time_table.h"
#include "store/location.h"
#include "store/store.h"

namespace dg::shift {
namespace {

constexpr std::int16_t kSave = DG_COMMAND_CONFIRM;
constexpr std::int16_t kExit = DG_COMMAND_LEAVE;

constexpr ui::Rgb kBlueViolet{128, 128, 255};
constexpr ui::Rgb kYellow{255, 255, 0};
constexpr ui::Rgb kCyan{0, 255, 255};
constexpr ui::Rgb kWhite{255, 255, 255};
constexpr ui::Rgb kOrange{255, 128, 0};
constexpr ui::Rgb kBlack{0, 0, 0};
constexpr ui::Rgb kButtonFace{240, 240, 240};

constexpr double kControlPoints = 10.5;
constexpr double kFormPoints = 12;

// Distance between two rows of the frame, in twips.
constexpr int kRowPitch = 480;

constexpr const char* kRowCaptions[4] = {"1班结束时间:", "2班结束时间:", "3班结束时间:", "4班结束时间:"};

// Hour and minute spinners write their value as two digits.
std::string TwoDigits(int value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", value);
    return buf;
}

// The looks of the dialog's controls. Every colour of the boxes and spinners
// is given, so that none of them takes the frame's yellow text or
// blue-violet fill.
struct Looks {
    ui::Look control, cyanLabel, yellowLabel, box, banzhiBox, spinner, frame;
};

Looks DialogLooks() {
    Looks l;
    l.control.fontPoints = kControlPoints;  // buttons too
    l.cyanLabel = l.control;                // on the background of the dialog or frame
    l.cyanLabel.foreground = kCyan;
    l.cyanLabel.transparent = true;
    l.yellowLabel = l.cyanLabel;
    l.yellowLabel.foreground = kYellow;
    l.box = l.control;  // time and crew boxes: black on white, centred
    l.box.foreground = kBlack;
    l.box.background = kWhite;
    l.box.align = ui::Align::Center;
    l.banzhiBox = l.box;
    l.banzhiBox.fontPoints = kFormPoints;
    l.banzhiBox.bold = true;
    l.banzhiBox.foreground = kOrange;
    l.spinner.foreground = kBlack;
    l.spinner.background = kButtonFace;
    l.frame = l.control;
    l.frame.foreground = kYellow;
    l.frame.background = kBlueViolet;
    return l;
}

}  // namespace

frmClass::frmClass() : ui::Form("frmClass") {}

int frmClass::ActiveRowCount(const std::string& banzhiText) {
    if (banzhiText == "1") return 1;
    if (banzhiText == "2") return 2;
    if (banzhiText == "3") return 3;
    return 4;
}

void frmClass::Build() {
    SetCaption("换班设置");
    SetClientSize(5385, 2745);
    SetFormLook(kFormPoints, kBlueViolet);
    SetCentred(true);

    const Looks looks = DialogLooks();
    const ui::Look& cyanLabel = looks.cyanLabel;
    const ui::Look& yellowLabel = looks.yellowLabel;
    const ui::Look& box = looks.box;
    const ui::Look& spinner = looks.spinner;

    // Top line, on the dialog itself.
    lblBanzhi[0] = AddLabel({"lblBanzhi", 0, {240, 120, 1215, 255}}, "班制选取：", cyanLabel);
    txtBanzhi = AddTextBox({"txtBanzhi", -1, {1440, 45, 495, 360}}, "3", looks.banzhiBox);
    UpDown1[8] = AddUpDown({"UpDown1", 8, {1920, 45, 255, 360}}, 1, 4, spinner);
    lblBanzhi[1] = AddLabel({"lblBanzhi", 1, {2280, 120, 255, 255}}, "班", yellowLabel);
    cmdSave = AddButton({"cmdSave", -1, {3000, 100, 855, 350}}, "保存", looks.control);
    cmdSave.SetToolTip("\"一天中最晚换班时间换天\"");
    cmdExit = AddButton({"cmdExit", -1, {4320, 100, 855, 350}}, "退出", looks.control);
    Frame1 = AddFrame({"Frame1", -1, {120, 480, 5175, 2175}}, "时间设置", looks.frame);
    Frame1.SetToolTip("\"换班时间1设为各班中最晚\"");

    // The four rows, placed inside the frame.
    for (int r = 1; r <= 4; ++r) {
        const int d = kRowPitch * (r - 1);
        const int hour = r - 1;
        const int minute = r + 3;
        lblClassTime[hour] = AddLabel({"lblClassTime", hour, {120, 360 + d, 1335, 255}, &Frame1}, kRowCaptions[hour],
                                      cyanLabel);
        txtTime[hour] = AddTextBox({"txtTime", hour, {1440, 240 + d, 495, 405}, &Frame1}, {}, box);
        UpDown1[hour] = AddUpDown({"UpDown1", hour, {1920, 240 + d, 255, 420}, &Frame1}, 0, 23, spinner);
        const int h = kHourLabelIndex[hour];
        lblHour[h] = AddLabel({"lblHour", h, {2160, 360 + d, 255, 255}, &Frame1}, "时", yellowLabel);
        txtTime[minute] = AddTextBox({"txtTime", minute, {2400, 240 + d, 495, 405}, &Frame1}, {}, box);
        UpDown1[minute] = AddUpDown({"UpDown1", minute, {2880, 240 + d, 255, 420}, &Frame1}, 0, 59, spinner);
        const int m = kMinuteLabelIndex[hour];
        lblMinute[m] = AddLabel({"lblMinute", m, {3120, 360 + d, 255, 255}, &Frame1}, "分", yellowLabel);
        lblBanzhi[r + 1] = AddLabel({"lblBanzhi", r + 1, {3360, 360 + d, 735, 255}, &Frame1}, "班别：", cyanLabel);
        txtBanbie[hour] = AddTextBox({"txtBanbie", hour, {3960, 310 + d, 1095, 315}, &Frame1}, {}, box);
    }

    // Tab order: the shift system, then each row from left to right, then the buttons.
    std::vector<const ui::Control*> order{&txtBanzhi, &UpDown1[8]};
    for (int row = 0; row < 4; ++row) {
        order.insert(order.end(),
                     {&txtTime[row], &UpDown1[row], &txtTime[row + 4], &UpDown1[row + 4], &txtBanbie[row]});
    }
    order.insert(order.end(), {&cmdSave, &cmdExit});
    SetTabOrder(order);

    txtBanzhi.OnChange([this] { ApplyActiveRows(); });
    for (int i = 0; i < 9; ++i) UpDown1[i].OnChange([this, i] { OnSpinnerChange(i); });
    cmdSave.OnClick([this] { BackClass.Raise(kSave); });
    cmdExit.OnClick([this] {
        Unload();
        BackClass.Raise(kExit);
    });
}

void frmClass::OnLoad() {
    FillFromTable();
    // Once more whatever the fill reached: inactive rows show "00" even when
    // the table holds other times for them.
    ApplyActiveRows();
}

// Fills the controls from the first row of tblClassTime. The first failure
// (no database, no row, a null field, a value a spinner refuses) ends the fill
// silently; what it did not reach keeps its initial contents.
void frmClass::FillFromTable() {
    try {
        store::Connection connection(store::kCreateConnectionString);
        store::Recordset rows(connection, store::kClassTimeTable);
        const store::Value& banzhi = rows.Get(store::kColumnBanzhi);
        txtBanzhi.SetText(banzhi.AsText());
        UpDown1[8].SetValue(banzhi.AsInt32());
        for (int k = 0; k < 4; ++k) txtBanbie[k].SetText(rows.Get(store::kCrewColumns[k]).AsText());
        for (int k = 0; k < 4; ++k) {
            const store::DateTime time = rows.Get(store::kChangeTimeColumns[k]).AsDateTime();
            txtTime[k].SetText(store::FormatHH(time));
            UpDown1[k].SetValue(time.Hour());
        }
        for (int k = 0; k < 4; ++k) {
            const store::DateTime time = rows.Get(store::kChangeTimeColumns[k]).AsDateTime();
            const std::string hhmm = store::FormatHHMM(time);
            txtTime[k + 4].SetText(hhmm.substr(hhmm.size() - 2));
            UpDown1[k + 4].SetValue(time.Minute());
        }
    } catch (const std::exception&) {
        // Reported nowhere: the operator sees what could be filled and may save anew.
    }
}

void frmClass::ApplyActiveRows() {
    const int n = ActiveRowCount(txtBanzhi.Text());
    for (int row = 0; row < 4; ++row) {
        const bool active = row < n;
        txtTime[row].SetEnabled(active);
        txtTime[row + 4].SetEnabled(active);
        UpDown1[row].SetEnabled(active);
        UpDown1[row + 4].SetEnabled(active);
        txtBanbie[row].SetEnabled(active);
        if (!active) {
            // Only the texts: the crew and the spinners' values stay.
            txtTime[row].SetText("00");
            txtTime[row + 4].SetText("00");
        }
    }
}

void frmClass::OnSpinnerChange(int index) {
    const int value = UpDown1[index].Value();
    if (index < 8) {
        txtTime[index].SetText(TwoDigits(value));
    } else {
        txtBanzhi.SetText(std::to_string(value));  // applies the active-row rule
    }
}

}  // namespace dg::shift
