#include "host_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace dghost {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

const char* MemberName(CallInProgress call) {
    switch (call) {
        case CallInProgress::ShowDialog: return "ShowDialog";
        case CallInProgress::ShowRevise: return "ShowRevise";
        case CallInProgress::ShowLanding: return "ShowLanding";
        case CallInProgress::ShowSetClass: return "ShowSetClass";
        case CallInProgress::ShiftClass: return "ShiftClass";
        default: return "";
    }
}

QPushButton* MakeButton(const char* objectName, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(objectName));
    button->setEnabled(false);  // until its object exists
    return button;
}

}  // namespace

HostWindow::HostWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("HostWindow"));
    setWindowTitle(QStringLiteral("Dutygate 演示宿主"));
    BuildLayout();
    connect(login_, &QPushButton::clicked, this, [this] { ShowDialog(); });
    connect(revise_, &QPushButton::clicked, this, [this] { ShowRevise(); });
    connect(landing_, &QPushButton::clicked, this, [this] { ShowLanding(); });
    connect(settings_, &QPushButton::clicked, this, [this] { ShowSetClass(); });
    ShowLevel();

    Log(QStringLiteral("Dutygate %1").arg(QString::fromUtf8(dg_version())));
    CreatePassword();
    CreateShiftClass();
}

void HostWindow::BuildLayout() {
    login_ = MakeButton("btnShowDialog", QStringLiteral("用户登陆…"), this);
    revise_ = MakeButton("btnShowRevise", QStringLiteral("修改密码…"), this);
    landing_ = MakeButton("btnShowLanding", QStringLiteral("退出登陆…"), this);
    settings_ = MakeButton("btnShowSetClass", QStringLiteral("换班设置…"), this);

    levelValue_ = new QLabel(this);
    levelValue_->setObjectName(QStringLiteral("lblLevel"));
    shiftValue_ = new QLabel(QStringLiteral("尚无"), this);
    shiftValue_->setObjectName(QStringLiteral("lblShift"));
    log_ = new QPlainTextEdit(this);
    log_->setObjectName(QStringLiteral("txtLog"));
    log_->setReadOnly(true);
    log_->setMaximumBlockCount(5000);
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto* access = new QGroupBox(QStringLiteral("用户权限"), this);
    auto* accessLayout = new QGridLayout(access);
    auto* accessButtons = new QHBoxLayout;
    accessButtons->addWidget(login_);
    accessButtons->addWidget(revise_);
    accessButtons->addWidget(landing_);
    accessLayout->addLayout(accessButtons, 0, 0, 1, 2);
    accessLayout->addWidget(new QLabel(QStringLiteral("当前用户级别："), access), 1, 0);
    accessLayout->addWidget(levelValue_, 1, 1);
    accessLayout->setColumnStretch(1, 1);

    auto* shift = new QGroupBox(QStringLiteral("交接班"), this);
    auto* shiftLayout = new QGridLayout(shift);
    shiftLayout->addWidget(settings_, 0, 0, 1, 2, Qt::AlignLeft);
    shiftLayout->addWidget(new QLabel(QStringLiteral("最近一次换班："), shift), 1, 0);
    shiftLayout->addWidget(shiftValue_, 1, 1);
    shiftLayout->setColumnStretch(1, 1);

    auto* database = new QLabel(
        QStringLiteral("参数数据库：%1").arg(QDir::toNativeSeparators(QDir::current().filePath("mdb/Para.mdb"))), this);
    database->setObjectName(QStringLiteral("lblDatabase"));
    database->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(access);
    layout->addWidget(shift);
    layout->addWidget(new QLabel(QStringLiteral("事件记录："), this));
    layout->addWidget(log_, 1);
    layout->addWidget(database);
    resize(640, 480);
}

void HostWindow::CreatePassword() {
    try {
        password_ = Object::Create(DG_PROGID_CLSPASSWORD);
        password_.Advise([this](const Event& event) { OnPasswordEvent(event); });
        login_->setEnabled(true);
        revise_->setEnabled(true);
        landing_->setEnabled(true);
        Log(QStringLiteral("已创建 " DG_PROGID_CLSPASSWORD));
    } catch (const CallError& e) {
        Log(QStringLiteral("错误：%1").arg(QString::fromUtf8(e.what())));
    }
}

void HostWindow::CreateShiftClass() {
    try {
        shift_ = Object::Create(DG_PROGID_CLSSHIFTCLASS);
        shift_.Advise([this](const Event& event) { OnShiftEvent(event); });
        settings_->setEnabled(true);
        Log(QStringLiteral("已创建 " DG_PROGID_CLSSHIFTCLASS));
        poll_ = new QTimer(this);
        poll_->setInterval(1000);
        connect(poll_, &QTimer::timeout, this, [this] { PollShift(); });
        poll_->start();
    } catch (const CallError& e) {
        Log(QStringLiteral("错误：%1").arg(QString::fromUtf8(e.what())));
    }
}

HostWindow::~HostWindow() {
    if (poll_) poll_->stop();
    // Releasing the objects closes any dialog of theirs that is still open.
    shift_.Release();
    password_.Release();
}

QString HostWindow::LevelText() const { return levelValue_->text(); }
QString HostWindow::LastShiftText() const { return shiftValue_->text(); }
QString HostWindow::LogText() const { return log_->toPlainText(); }

void HostWindow::ShowDialog() { Invoke(password_, CallInProgress::ShowDialog, "ShowDialog", true); }
void HostWindow::ShowRevise() { Invoke(password_, CallInProgress::ShowRevise, "ShowRevise", true); }
void HostWindow::ShowLanding() { Invoke(password_, CallInProgress::ShowLanding, "ShowLanding", true); }
void HostWindow::ShowSetClass() { Invoke(shift_, CallInProgress::ShowSetClass, "ShowSetClass", true); }
void HostWindow::PollShift() { Invoke(shift_, CallInProgress::ShiftClass, "ShiftClass", false); }

void HostWindow::Invoke(Object& object, CallInProgress call, const char* member, bool logCall) {
    // The timer keeps polling while a modal dialog runs its own loop, so calls
    // nest: the call in progress is restored when the inner one returns.
    const CallInProgress outer = call_;
    call_ = call;
    if (logCall) Log(QStringLiteral("调用 %1").arg(QLatin1String(member)));
    std::string error;
    const dg_status status = object.TryCall(member, &error);
    call_ = outer;
    if (status < 0) {
        // A failing poll is logged once, not every second while it lasts.
        if (call == CallInProgress::ShiftClass && error == lastPollError_) return;
        if (call == CallInProgress::ShiftClass) lastPollError_ = error;
        Log(QStringLiteral("错误：%1").arg(Q(error)));
        return;
    }
    if (call == CallInProgress::ShiftClass) lastPollError_.clear();
    if (logCall) Log(QStringLiteral("%1 返回").arg(QLatin1String(member)));
}

void HostWindow::OnPasswordEvent(const Event& event) {
    QString line = Q(EventText(event));
    if (event.name == "BackAdmin" && event.args.size() == 2) {
        const LevelReading reading = ReadBackAdmin(call_, level_, static_cast<std::int16_t>(event.args[0].integer),
                                                   static_cast<std::int16_t>(event.args[1].integer));
        level_ = reading.level;
        ShowLevel();
        line += QStringLiteral(" — %1（%2 中）").arg(Q(reading.meaning), QLatin1String(MemberName(call_)));
    }
    Log(line);
}

void HostWindow::OnShiftEvent(const Event& event) {
    if (event.name == "eventSetClass") shiftValue_->setText(Q(ShiftSummary(event)));
    Log(Q(EventText(event)));
}

void HostWindow::Log(const QString& line) {
    log_->appendPlainText(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss  ")) + line);
}

void HostWindow::ShowLevel() { levelValue_->setText(Q(LevelName(level_))); }

void HostWindow::closeEvent(QCloseEvent* event) {
    // The settings dialog is a window of its own; closing the host ends the
    // program even while it is open.
    event->accept();
    QCoreApplication::quit();
}

}  // namespace dghost
