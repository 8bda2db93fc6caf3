// The demo host's window on the offscreen platform, driven through a login
// (a wrong password first), a cancelled login and a logout, with the
// component's real dialogs and message boxes.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>

#include "host_window.h"
#include "support/temp_dir.h"

namespace {

// Steps run one after another from a timer, so that they also run inside the
// component's modal loops. A step returns false until it could do its part.
class Driver {
public:
    Driver() {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (!steps_.empty() && steps_.front()()) steps_.pop_front();
        });
        timer_.start();
    }
    void Then(std::function<bool()> step) { steps_.push_back(std::move(step)); }
    bool Done() const { return steps_.empty(); }

private:
    QTimer timer_;
    std::deque<std::function<bool()>> steps_;
};

QWidget* Modal(const char* objectName) {
    QWidget* modal = QApplication::activeModalWidget();
    return modal && modal->objectName() == QLatin1String(objectName) ? modal : nullptr;
}

// Clicks from the event loop, not from inside the step: a click that opens a
// message box must not block the driver.
void ClickLater(QAbstractButton* button) { QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection); }

std::function<bool()> TypePassword(const char* text) {
    return [text] {
        QWidget* dialog = Modal("frmLogin");
        auto* box = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("txtPassword")) : nullptr;
        if (!box) return false;
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, QString::fromLatin1(text));
        return true;
    };
}

std::function<bool()> Click(const char* dialogName, const char* buttonName) {
    return [=] {
        QWidget* dialog = Modal(dialogName);
        auto* button = dialog ? dialog->findChild<QAbstractButton*>(QLatin1String(buttonName)) : nullptr;
        if (!button) return false;
        ClickLater(button);
        return true;
    };
}

std::function<bool()> AnswerMessageBox(const char* text, QMessageBox::StandardButton answer) {
    return [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box->text() != QString::fromUtf8(text)) return false;
        ClickLater(box->button(answer));
        return true;
    };
}

class HostWindowTest : public dg::testsupport::TempDirTest {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char arg0[] = "test_host_window";
        static char* argv[] = {arg0, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
    }

    // Clicks one of the host's buttons; the call returns once the dialog closed.
    static void Press(dghost::HostWindow& window, const char* button) {
        auto* b = window.findChild<QPushButton*>(QLatin1String(button));
        ASSERT_NE(b, nullptr) << button;
        ASSERT_TRUE(b->isEnabled()) << button << "\n" << window.LogText().toStdString();
        QTest::mouseClick(b, Qt::LeftButton);
    }
};

TEST_F(HostWindowTest, LoginAndLogoutChangeTheLevelInHand) {
    dghost::HostWindow window;
    window.show();
    EXPECT_EQ(window.LevelText(), QStringLiteral("未登陆"));
    EXPECT_TRUE(std::filesystem::exists(Dir() / "mdb" / "Para.mdb"));

    Driver driver;
    driver.Then(TypePassword("123"));
    driver.Then(Click("frmLogin", "cmdOK"));
    driver.Then(AnswerMessageBox("无效的密码，请重试！", QMessageBox::Ok));
    driver.Then(TypePassword("579"));
    driver.Then(Click("frmLogin", "cmdOK"));
    Press(window, "btnShowDialog");
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(window.Level(), 1);
    EXPECT_EQ(window.LevelText(), QStringLiteral("管理员"));
    const QString afterLogin = window.LogText();
    EXPECT_TRUE(afterLogin.contains(QStringLiteral("BackAdmin(Data=0, iCommand=199) — 密码错误")))
        << afterLogin.toStdString();
    EXPECT_TRUE(afterLogin.contains(QStringLiteral("BackAdmin(Data=1, iCommand=199) — 登陆成功：管理员")))
        << afterLogin.toStdString();
    EXPECT_LT(afterLogin.indexOf(QStringLiteral("Data=0, iCommand=199")),
              afterLogin.indexOf(QStringLiteral("Data=1, iCommand=199")));

    // A cancelled login changes nothing.
    driver.Then(Click("frmLogin", "cmdCancel"));
    Press(window, "btnShowDialog");
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(window.LevelText(), QStringLiteral("管理员"));
    EXPECT_TRUE(window.LogText().contains(QStringLiteral("iCommand=200) — 取消登陆")));

    driver.Then(Click("frmLanding", "Command1"));
    driver.Then(AnswerMessageBox("确定要退出？", QMessageBox::Yes));
    Press(window, "btnShowLanding");
    // The question comes after the dialog has gone; wait for the answer.
    QElapsedTimer clock;
    clock.start();
    while (!window.LogText().contains(QStringLiteral("ShowLanding 返回")) && clock.elapsed() < 10000) QTest::qWait(20);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(window.Level(), 0);
    EXPECT_EQ(window.LevelText(), QStringLiteral("未登陆"));
    EXPECT_TRUE(window.LogText().contains(QStringLiteral("BackAdmin(Data=0, iCommand=200) — 已退出登陆")))
        << window.LogText().toStdString();
}

TEST_F(HostWindowTest, SettingsDialogOpensBesideTheWindowAndGoesWithIt) {
    auto window = std::make_unique<dghost::HostWindow>();
    window->show();
    Press(*window, "btnShowSetClass");  // modeless: returns at once
    QWidget* settings = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("frmClass") && w->isVisible()) settings = w;
    }
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(window->LogText().contains(QStringLiteral("ShowSetClass 返回")));
    QPointer<QWidget> watch(settings);
    window.reset();  // releasing the objects closes the dialog
    QTest::qWait(50);
    EXPECT_TRUE(watch.isNull() || !watch->isVisible());
}

}  // namespace
