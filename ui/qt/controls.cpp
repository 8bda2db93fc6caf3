// Control handles and the widgets behind them.
#include "ui/controls.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QApplication>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionGroupBox>
#include <QStylePainter>
#include <QToolButton>
#include <QToolTip>

#include <algorithm>
#include <deque>
#include <string>

#include "ui/form.h"
#include "ui/updown_checks.h"
#include "ui/qt/internal.h"

namespace dg::ui {

using detail::ControlState;
using Kind = ControlState::Kind;

namespace qt {

UpDownWidget::UpDownWidget(QWidget* parent) : QWidget(parent) {
    // Like the common-controls spinner it takes the focus (Tab or a click on
    // an arrow) and answers the arrow keys.
    setFocusPolicy(Qt::StrongFocus);
    up = new QToolButton(this);
    down = new QToolButton(this);
    up->setObjectName(QStringLiteral("up"));
    down->setObjectName(QStringLiteral("down"));
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    for (QToolButton* arrow : {up, down}) {
        arrow->setStyle(DialogControlStyle());
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setAutoRepeat(true);  // held down, it keeps stepping
    }
    QObject::connect(up, &QToolButton::clicked, this, [this] { Step(+1); });
    QObject::connect(down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void UpDownWidget::Assign(int newValue) {
    if (newValue == value) return;
    value = newValue;
    if (changed) changed();
}

void UpDownWidget::Step(int delta) {
    const long long next = static_cast<long long>(value) + delta;
    if (next < lower || next > upper) return;  // stops at its limits
    Assign(static_cast<int>(next));
}

void UpDownWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    up->setGeometry(0, 0, width(), half);
    down->setGeometry(0, half, width(), height() - half);
}

void UpDownWidget::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_Up) {
        Step(+1);
    } else if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_Down) {
        Step(-1);
    } else {
        QWidget::keyPressEvent(event);
    }
}

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {
    takingStyle_ = true;
    setStyle(DialogControlStyle());
    takingStyle_ = false;
}

void ComboBox::changeEvent(QEvent* event) {
    if (takingStyle_ && event->type() == QEvent::StyleChange) {
        QWidget::changeEvent(event);  // not QComboBox's, which would make the list
        return;
    }
    QComboBox::changeEvent(event);
}

void GroupBox::paintEvent(QPaintEvent*) {
    // QGroupBox's own painting, with the caption colour in the option only,
    // so that it does not reach the controls inside the frame.
    QStylePainter painter(this);
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    if (captionColor.isValid() && isEnabled()) {
        option.textColor = captionColor;
        option.palette.setColor(QPalette::WindowText, captionColor);
    }
    painter.drawComplexControl(QStyle::CC_GroupBox, option);
}

namespace {
// The style of every control in the dialogs: the application's, drawing "*"
// for each character of a password, and with one palette object for each set
// of colours. Qt's styles cache what they draw in the application's
// QPixmapCache under names that hold the palette's cacheKey(), and every
// window gives its coloured controls palette objects of their own: drawn
// with those, each showing of a dialog left its pixmaps behind under names
// no later showing asks for, until the cache reached its limit.
class DialogStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        SharedPalette shared(*this, option);
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        SharedPalette shared(*this, option);
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        SharedPalette shared(*this, option);
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }

private:
    // For one drawing call, the option carries the shared palette object with
    // its own colours (and its own current colour group).
    class SharedPalette {
    public:
        SharedPalette(const DialogStyle& style, const QStyleOption* option)
            : option_(const_cast<QStyleOption*>(option)) {  // the caller's own, restored below
            if (!option_) return;
            own_ = option_->palette;
            option_->palette = style.Shared(own_);
            option_->palette.setCurrentColorGroup(own_.currentColorGroup());
        }
        ~SharedPalette() {
            if (option_) option_->palette = own_;
        }
        SharedPalette(const SharedPalette&) = delete;
        SharedPalette& operator=(const SharedPalette&) = delete;

    private:
        QStyleOption* option_;
        QPalette own_;
    };

    const QPalette& Shared(const QPalette& palette) const {
        for (const QPalette& known : palettes_)
            if (known == palette) return known;
        // The dialogs use a handful of colour sets; a host that keeps changing
        // its palette starts the list afresh rather than growing it.
        if (palettes_.size() >= 64) palettes_.clear();
        return palettes_.emplace_back(palette);
    }

    mutable std::deque<QPalette> palettes_;  // stable addresses
};
}  // namespace

namespace {
// Qt shows a parent's tooltip over a child that has none (the help event
// travels up to the frame). A tooltip belongs to its own control: a control
// without one shows none, and the frame's hint shows only over the frame's
// own area and the labels in it.
class OwnToolTipOnly final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ToolTip) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || !widget->toolTip().isEmpty()) return false;
        // A label without a hint of its own lets the pointer through to
        // what lies beneath it (the frame's hint), as a windowless label does.
        if (qobject_cast<QLabel*>(widget)) return false;
        QToolTip::hideText();
        event->accept();
        return true;
    }
};
}  // namespace

void KeepToolTipsOwn(QWidget* control) {
    static QPointer<QObject> filter;
    if (!filter) filter = new OwnToolTipOnly(qApp);
    control->installEventFilter(filter);
}

QStyle* DialogControlStyle() {
    // Over the application's style, made anew when the host changes it (the
    // controls of dialogs open at that moment keep theirs).
    static QPointer<QStyle> style;
    static QString madeOver;
    const QString appStyle = QApplication::style()->name();
    if (!style || madeOver != appStyle) {
        QStyle* base = QStyleFactory::create(appStyle);  // none for a style of the host's own
        style = base ? new DialogStyle(base) : new DialogStyle;
        style->setParent(qApp);
        madeOver = appStyle;
    }
    return style;
}

}  // namespace qt

namespace {

QWidget* Widget(const std::shared_ptr<ControlState>& state, const char* what) {
    return detail::RequireControl(state, what).widget;
}

template <typename W>
W* As(const std::shared_ptr<ControlState>& state, Kind kind, const char* what) {
    return static_cast<W*>(detail::RequireControl(state, kind, what).widget.data());
}

qt::FormDialog* DialogOf(const std::shared_ptr<ControlState>& state) {
    return state && state->form ? state->form->dialog : nullptr;
}

// Runs the handlers of one of the control's events, unless the form is gone
// or its controls are being torn down.
void Notify(const std::weak_ptr<ControlState>& weak, ui::Event<> ControlState::*event) {
    auto state = weak.lock();
    if (!state || !state->form || !state->widget) return;
    if (((*state).*event).Count() == 0) return;
    qt::RunHandler(DialogOf(state), [state, event] { ((*state).*event).Raise(); });
}

QColor ToColor(const Rgb& rgb) { return QColor(rgb.r, rgb.g, rgb.b); }

void ApplyLook(QWidget* widget, const Look& look, Kind kind) {
    if (look.fontPoints || look.bold) {
        QFont font;  // only what is set here; the family and the rest come from the form
        if (look.fontPoints) font.setPointSizeF(*look.fontPoints);
        if (look.bold) font.setBold(true);
        widget->setFont(font);
    }
    QPalette palette = widget->palette();
    bool paletteChanged = false;
    // A frame passes its palette on to the controls inside it: its caption
    // colour is set on the caption alone (AddFrame), its background on the
    // window role alone.
    if (look.foreground && kind != Kind::Frame) {
        const QColor color = ToColor(*look.foreground);
        // The disabled group keeps its grey.
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
                palette.setColor(group, role, color);
        }
        paletteChanged = true;
    }
    if (look.background && !(kind == Kind::Label && look.transparent)) {
        const QColor color = ToColor(*look.background);
        if (kind == Kind::Frame) {
            palette.setColor(QPalette::Window, color);
        } else {
            for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
                palette.setColor(role, color);
        }
        paletteChanged = true;
        if (kind == Kind::Label || kind == Kind::Frame || kind == Kind::UpDown) widget->setAutoFillBackground(true);
    }
    if (kind == Kind::ComboBox) {
        // A text that is no item shows as the placeholder: draw it as plain text.
        palette.setColor(QPalette::PlaceholderText, palette.color(QPalette::ButtonText));
        paletteChanged = true;
    }
    if (paletteChanged) widget->setPalette(palette);
    if (kind == Kind::Label) {
        auto* label = static_cast<QLabel*>(widget);
        label->setAutoFillBackground(!look.transparent && look.background.has_value());
        label->setAlignment((look.align == Align::Center ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
    } else if (kind == Kind::TextBox) {
        static_cast<QLineEdit*>(widget)->setAlignment((look.align == Align::Center ? Qt::AlignHCenter : Qt::AlignLeft) |
                                                      Qt::AlignVCenter);
    }
}

// Shows `text` in a combo box: the matching item, or the text alone.
void ShowComboText(ControlState& state, QComboBox* combo, std::string_view text) {
    const QString wanted = qt::ToQ(text);
    const int index = combo->findText(wanted, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0) {
        state.comboText.clear();
        combo->setPlaceholderText(QString());
        combo->setCurrentIndex(index);
    } else {
        state.comboText = std::string(text);
        combo->setCurrentIndex(-1);
        combo->setPlaceholderText(wanted);
    }
}

}  // namespace

// --- Form: creating controls (Build) ---------------------------------------

namespace {

template <typename W>
W* CreateWidget(detail::FormState& form, const Place& place, Kind kind, const Look& look,
                std::shared_ptr<ControlState>& out, const char* what) {
    QWidget* parent = form.RequireDialog(what);
    if (const ControlState* frame = detail::RequireParentFrame(form, place, what)) parent = frame->widget;
    auto* widget = new W(parent);
    if (!widget->testAttribute(Qt::WA_SetStyle)) widget->setStyle(qt::DialogControlStyle());
    out = form.NewControl(place, kind);
    out->widget = widget;
    widget->setObjectName(qt::ToQ(out->name));
    // Relative to the form's client area, or to the frame's own corner.
    widget->setGeometry(qt::TwipsToPixels(place.rect.left), qt::TwipsToPixels(place.rect.top),
                        qt::TwipsToPixels(place.rect.width), qt::TwipsToPixels(place.rect.height));
    ApplyLook(widget, look, kind);
    qt::KeepToolTipsOwn(widget);
    widget->show();  // shown with the window (or at once when it is open)
    form.controls.push_back(out);
    return widget;
}

}  // namespace

Label Form::AddLabel(const Place& place, std::string_view caption, const Look& look) {
    std::shared_ptr<ControlState> state;
    auto* label = CreateWidget<QLabel>(*state_, place, Kind::Label, look, state, "AddLabel");
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    label->setFocusPolicy(Qt::NoFocus);
    label->setText(qt::ToQ(caption));
    // Labels lie beneath every other control (a combo box overlapping its
    // label draws on top of it), yet above a frame sharing their parent.
    label->lower();
    for (const auto& control : state_->controls) {
        if (control->kind == Kind::Frame && control->widget && control->widget->parentWidget() == label->parentWidget())
            control->widget->lower();
    }
    return Label(state);
}

Frame Form::AddFrame(const Place& place, std::string_view caption, const Look& look) {
    std::shared_ptr<ControlState> state;
    auto* frame = CreateWidget<qt::GroupBox>(*state_, place, Kind::Frame, look, state, "AddFrame");
    frame->setFocusPolicy(Qt::NoFocus);
    frame->setTitle(qt::ToQ(caption));
    frame->lower();
    if (look.foreground) frame->captionColor = ToColor(*look.foreground);
    return Frame(state);
}

Button Form::AddButton(const Place& place, std::string_view caption, const Look& look) {
    std::shared_ptr<ControlState> state;
    auto* button = CreateWidget<qt::PushButton>(*state_, place, Kind::Button, look, state, "AddButton");
    // Only the button made the default answers Enter in the form; a focused
    // button answers Space and Enter itself (qt::PushButton).
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setText(qt::ToQ(caption));
    std::weak_ptr<ControlState> weak = state;
    QObject::connect(button, &QPushButton::clicked, button, [weak] { Notify(weak, &ControlState::click); });
    return Button(state);
}

TextBox Form::AddTextBox(const Place& place, std::string_view text, const Look& look) {
    std::shared_ptr<ControlState> state;
    auto* box = CreateWidget<qt::LineEdit>(*state_, place, Kind::TextBox, look, state, "AddTextBox");
    box->control = state;
    box->setFocusPolicy(Qt::StrongFocus);
    box->setText(qt::ToQ(text));
    box->setCursorPosition(0);
    std::weak_ptr<ControlState> weak = state;
    // Every change, typed or set by code.
    QObject::connect(box, &QLineEdit::textChanged, box, [weak] { Notify(weak, &ControlState::change); });
    return TextBox(state);
}

ComboBox Form::AddComboBox(const Place& place, const std::vector<std::string>& items, const Look& look) {
    std::shared_ptr<ControlState> state;
    auto* combo = CreateWidget<qt::ComboBox>(*state_, place, Kind::ComboBox, look, state, "AddComboBox");
    combo->setEditable(false);  // a drop-down list
    for (const std::string& item : items) combo->addItem(qt::ToQ(item));
    ShowComboText(*state, combo, {});
    std::weak_ptr<ControlState> weak = state;
    // A choice from the list by the operator only; code changes the index
    // without it.
    QObject::connect(combo, &QComboBox::activated, combo, [weak] { Notify(weak, &ControlState::click); });
    return ComboBox(state);
}

UpDown Form::AddUpDown(const Place& place, int lower, int upper, const Look& look) {
    detail::RequireNewLimits(lower, upper, detail::ControlName(place));
    std::shared_ptr<ControlState> state;
    auto* spinner = CreateWidget<qt::UpDownWidget>(*state_, place, Kind::UpDown, look, state, "AddUpDown");
    spinner->lower = lower;
    spinner->upper = upper;
    spinner->value = lower;
    std::weak_ptr<ControlState> weak = state;
    spinner->changed = [weak] { Notify(weak, &ControlState::change); };
    return UpDown(state);
}

// --- Control ---------------------------------------------------------------

void Control::SetEnabled(bool enabled) { Widget(state_, "SetEnabled")->setEnabled(enabled); }

bool Control::Enabled() const {
    // The control's own setting, as the dialog made it; a disabled frame
    // greys its children without changing theirs.
    return !Widget(state_, "Enabled")->testAttribute(Qt::WA_ForceDisabled);
}

void Control::SetToolTip(std::string_view text) { Widget(state_, "SetToolTip")->setToolTip(qt::ToQ(text)); }

std::string Control::ToolTip() const { return qt::FromQ(Widget(state_, "ToolTip")->toolTip()); }

void Control::SetFocus() {
    QWidget* widget = Widget(state_, "SetFocus");
    // Before the first show this names the control that opens with the focus.
    if (state_->form && !widget->window()->isVisible()) state_->form->focusByCode = state_;
    widget->setFocus(Qt::OtherFocusReason);
}

bool Control::HasFocus() const {
    QWidget* widget = Widget(state_, "HasFocus");
    return widget->window()->focusWidget() == widget;
}

// --- Label, Frame, Button -------------------------------------------------

void Label::SetCaption(std::string_view caption) {
    As<QLabel>(state_, Kind::Label, "Label::SetCaption")->setText(qt::ToQ(caption));
}
std::string Label::Caption() const { return qt::FromQ(As<QLabel>(state_, Kind::Label, "Label::Caption")->text()); }

void Frame::SetCaption(std::string_view caption) {
    As<QGroupBox>(state_, Kind::Frame, "Frame::SetCaption")->setTitle(qt::ToQ(caption));
}
std::string Frame::Caption() const { return qt::FromQ(As<QGroupBox>(state_, Kind::Frame, "Frame::Caption")->title()); }

void Button::SetCaption(std::string_view caption) {
    As<QPushButton>(state_, Kind::Button, "Button::SetCaption")->setText(qt::ToQ(caption));
}
std::string Button::Caption() const {
    return qt::FromQ(As<QPushButton>(state_, Kind::Button, "Button::Caption")->text());
}

// --- TextBox ----------------------------------------------------------------

std::string TextBox::Text() const { return qt::FromQ(As<QLineEdit>(state_, Kind::TextBox, "TextBox::Text")->text()); }

void TextBox::SetText(std::string_view text) {
    As<QLineEdit>(state_, Kind::TextBox, "TextBox::SetText")->setText(qt::ToQ(text));
}

void TextBox::SetLocked(bool locked) {
    As<QLineEdit>(state_, Kind::TextBox, "TextBox::SetLocked")->setReadOnly(locked);
}

bool TextBox::Locked() const { return As<QLineEdit>(state_, Kind::TextBox, "TextBox::Locked")->isReadOnly(); }

void TextBox::SetPasswordMask(bool masked) {
    auto* box = As<QLineEdit>(state_, Kind::TextBox, "TextBox::SetPasswordMask");
    box->setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
    // Styles draw a bullet by default; the control style (a proxy style
    // rather than a style sheet, which would cut the box off from the form's
    // font) draws "*".
}

void TextBox::SelectAll() {
    auto* box = As<QLineEdit>(state_, Kind::TextBox, "TextBox::SelectAll");
    box->home(false);  // {Home}
    box->end(true);    // +{End}
}

std::string TextBox::SelectedText() const {
    return qt::FromQ(As<QLineEdit>(state_, Kind::TextBox, "TextBox::SelectedText")->selectedText());
}

// --- ComboBox ---------------------------------------------------------------

void ComboBox::SetItems(const std::vector<std::string>& items) {
    auto* combo = As<QComboBox>(state_, Kind::ComboBox, "ComboBox::SetItems");
    const std::string shown = Text();
    combo->clear();
    for (const std::string& item : items) combo->addItem(qt::ToQ(item));
    ShowComboText(*state_, combo, shown);
}

std::vector<std::string> ComboBox::Items() const {
    auto* combo = As<QComboBox>(state_, Kind::ComboBox, "ComboBox::Items");
    std::vector<std::string> items;
    items.reserve(static_cast<std::size_t>(combo->count()));
    for (int i = 0; i < combo->count(); ++i) items.push_back(qt::FromQ(combo->itemText(i)));
    return items;
}

std::string ComboBox::Text() const {
    auto* combo = As<QComboBox>(state_, Kind::ComboBox, "ComboBox::Text");
    return combo->currentIndex() >= 0 ? qt::FromQ(combo->currentText()) : state_->comboText;
}

void ComboBox::SetText(std::string_view text) {
    ShowComboText(*state_, As<QComboBox>(state_, Kind::ComboBox, "ComboBox::SetText"), text);
}

// --- UpDown -------------------------------------------------------------------

int UpDown::Value() const { return As<qt::UpDownWidget>(state_, Kind::UpDown, "UpDown::Value")->value; }

void UpDown::SetValue(int value) {
    auto* spinner = As<qt::UpDownWidget>(state_, Kind::UpDown, "UpDown::SetValue");
    detail::RequireWithinLimits(value, spinner->lower, spinner->upper, state_->name);
    spinner->Assign(value);
}

void UpDown::SetRange(int lower, int upper) {
    auto* spinner = As<qt::UpDownWidget>(state_, Kind::UpDown, "UpDown::SetRange");
    detail::RequireLimits(lower, upper);
    spinner->lower = lower;
    spinner->upper = upper;
    spinner->Assign(std::clamp(spinner->value, lower, upper));
}

int UpDown::Lower() const { return As<qt::UpDownWidget>(state_, Kind::UpDown, "UpDown::Lower")->lower; }

int UpDown::Upper() const { return As<qt::UpDownWidget>(state_, Kind::UpDown, "UpDown::Upper")->upper; }

}  // namespace dg::ui
