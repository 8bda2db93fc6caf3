// What the dialogs look like as Qt widgets: window flags, the widget tree,
// fonts, palettes, the QMessageBox itself, and Qt's tooltip delivery.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFontInfo>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QToolTip>

#include "ui/app.h"
#include "ui/message_box.h"
#include "ui/test_form.h"
#include "ui_testing/driver.h"

namespace dg::ui {
namespace {

namespace t = dg::ui::testing;
using test::TestForm;

template <typename W = QWidget>
W* Find(const char* name) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() != "frmTest" || !top->isVisible()) continue;
        if (auto* widget = top->findChild<W*>(name)) return widget;
    }
    return nullptr;
}

class QtWidgetsTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureGui();
        t::Reset();
    }
    void TearDown() override {
        EXPECT_TRUE(t::DriverErrors().empty()) << t::DriverErrors().front();
        t::Reset();
        ProcessEvents(0);
    }
    void ShowAndClose() {
        t::Run([this] { form.Unload(); });
        form.ShowModal();
        EXPECT_FALSE(form.Loaded());
    }
    TestForm form;
};

TEST_F(QtWidgetsTest, WindowHasCloseButtonOnlyAndFramedControlsAreItsChildren) {
    t::Run([&] {
        auto* window = qobject_cast<QDialog*>(Find("txtName")->window());
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->objectName(), "frmTest");
        EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(window->windowFlags() & Qt::WindowContextHelpButtonHint);
        QWidget* box = Find("txtName");
        EXPECT_EQ(box->parentWidget()->objectName(), "fraBox");
        EXPECT_EQ(box->geometry(), QRect(16, 20, 133, 24));
    });
    ShowAndClose();
}

TEST_F(QtWidgetsTest, PasswordBoxShowsStars) {
    std::string shown;
    t::Type("txtPassword", "579");
    t::Run([&] { shown = Find<QLineEdit>("txtPassword")->displayText().toStdString(); });
    ShowAndClose();
    EXPECT_EQ(shown, "***");
}
TEST_F(QtWidgetsTest, LooksFontsColoursAndFrameEnabling) {
    t::Run([&] {
        auto* title = Find<QLabel>("lblTitle");
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(QFontInfo(title->font()).family().toStdString(), "WenQuanYi Zen Hei");  // 宋体 substituted
        EXPECT_TRUE(title->font().bold());
        EXPECT_DOUBLE_EQ(title->font().pointSizeF(), 12.0);
        EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(0, 0, 0x80));
        EXPECT_FALSE(title->autoFillBackground());  // transparent
        EXPECT_FALSE(title->wordWrap());
        EXPECT_EQ(title->focusPolicy(), Qt::NoFocus);
        auto* value = Find<QLabel>("lblValue_0");
        EXPECT_TRUE(value->autoFillBackground());
        EXPECT_EQ(value->palette().color(QPalette::Window), QColor(0xFF, 0xFF, 0xC0));
        EXPECT_TRUE(value->alignment() & Qt::AlignHCenter);
        auto* box = Find<QLineEdit>("txtName");
        EXPECT_DOUBLE_EQ(box->font().pointSizeF(), 10.5);  // the form's size
        EXPECT_DOUBLE_EQ(Find<QLineEdit>("txtPassword")->font().pointSizeF(), 10.5);
        // The frame's caption colour stays off the controls inside it.
        EXPECT_NE(value->palette().color(QPalette::WindowText), QColor(0xC0, 0, 0));
        EXPECT_NE(box->palette().color(QPalette::Text), QColor(0xC0, 0, 0));
        EXPECT_EQ(box->window()->palette().color(QPalette::Window), QColor(0xE0, 0xE8, 0xF0));
        form.fraBox.SetEnabled(false);  // greys the controls inside; their own setting stays
        EXPECT_TRUE(form.txtName.Enabled());
        EXPECT_FALSE(t::EnabledOf("txtName"));
    });
    ShowAndClose();
}

TEST_F(QtWidgetsTest, RealBoxShowsItsTextAndReturnsTheButtonClicked) {
    std::string seen;
    t::Run([&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = (box->windowTitle() + "|" + box->text()).toStdString();
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_NE(box->button(QMessageBox::Yes), nullptr);
        EXPECT_EQ(box->button(QMessageBox::Ok), nullptr);
    });
    t::ClickMessageBox(Answer::No);
    EXPECT_EQ(MsgBox("保存修改吗？", Buttons::YesNo, Icon::Question), Answer::No);
    EXPECT_EQ(seen, "Dutygate|保存修改吗？");
    ASSERT_EQ(t::Messages().size(), 1u);
    EXPECT_EQ(t::Messages()[0].answer, Answer::No);
}

// Qt hands a tooltip event that a widget has no text for on to its parent:
// the frame's hint must not show over the boxes inside it, only over its
// labels.
TEST_F(QtWidgetsTest, FrameHintShowsOverTheFrameOnlyNotOverItsControls) {
    std::string overBox = "unset", overArrow = "unset", overFrame = "unset", overLabel = "unset";
    auto hintAt = [](QWidget* widget, QPoint pos) {
        for (QWidget* tip : QApplication::topLevelWidgets())  // the last hint gone at once, not after its fade
            if (tip->inherits("QTipLabel")) tip->hide();
        QHelpEvent event(QEvent::ToolTip, pos, widget->mapToGlobal(pos));
        QApplication::sendEvent(widget, &event);
        return QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
    };
    t::Run([&] {
        form.fraBox.SetToolTip("口令区");
        EXPECT_EQ(t::ToolTipOf("txtName"), "");
        EXPECT_EQ(t::ToolTipOf("fraBox"), "口令区");
        overLabel = hintAt(Find("lblValue_0"), QPoint(2, 2));  // first: a label lets the pointer through
        overBox = hintAt(Find("txtName"), QPoint(5, 5));
        overArrow = hintAt(Find("UpDown1_0")->findChild<QWidget*>("up"), QPoint(2, 2));
        overFrame = hintAt(Find("fraBox"), QPoint(4, 60));  // left of every control in the frame
    });
    ShowAndClose();
    EXPECT_EQ(overBox, "");
    EXPECT_EQ(overArrow, "");
    EXPECT_EQ(overFrame, "口令区");
    EXPECT_EQ(overLabel, "口令区");
}

}  // namespace
}  // namespace dg::ui
