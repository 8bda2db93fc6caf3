#pragma once
// The demo host's window: four buttons that show the component's dialogs, the
// level in hand, the last shift announcement, and a time-stamped log of every
// event. A one-second timer polls ShiftClass.
#include <QString>
#include <QWidget>

#include <cstdint>

#include "abi_object.h"
#include "event_text.h"

class QCloseEvent;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace dghost {

class HostWindow : public QWidget {
public:
    // Creates a clsPassword and a clsShiftClass by ProgID; a creation that
    // fails is logged and its buttons stay disabled. Needs a QApplication.
    explicit HostWindow(QWidget* parent = nullptr);
    ~HostWindow() override;

    std::int16_t Level() const { return level_; }
    QString LevelText() const;
    QString LastShiftText() const;
    QString LogText() const;

    // What the buttons do.
    void ShowDialog();
    void ShowRevise();
    void ShowLanding();
    void ShowSetClass();
    void PollShift();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildLayout();
    // Each creates its object and enables its buttons, or logs the failure.
    void CreatePassword();
    void CreateShiftClass();
    void Invoke(Object& object, CallInProgress call, const char* member, bool logCall);
    void OnPasswordEvent(const Event& event);
    void OnShiftEvent(const Event& event);
    void Log(const QString& line);
    void ShowLevel();

    Object password_;
    Object shift_;
    CallInProgress call_ = CallInProgress::None;
    std::int16_t level_ = kLevelNone;
    std::string lastPollError_;

    QPushButton* login_ = nullptr;
    QPushButton* revise_ = nullptr;
    QPushButton* landing_ = nullptr;
    QPushButton* settings_ = nullptr;
    QLabel* levelValue_ = nullptr;
    QLabel* shiftValue_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QTimer* poll_ = nullptr;
};

}  // namespace dghost
