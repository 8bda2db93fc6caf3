#pragma once
// Control handles. A handle is a cheap, copyable reference to one control of
// a loaded form; the form creates it in its Build() step and the dialog keeps
// it as a member. Unloading the form destroys the controls: every call on a
// handle whose control is gone throws UiError (reads included), and
// Valid() turns false. A default-constructed handle refers to nothing.
//
// Each On...() call adds a handler (they run in the order added); the
// handlers go with the control when the form unloads, so Build() connects
// them again on every load. A handler that throws does not unwind into the
// toolkit: its description is shown in a message box (OK, critical icon,
// default title) and the form stays usable.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dg::ui {

// Geometry in twips, 15 to a pixel at 96 dpi; relative to the form's client
// area, or to the frame the control sits in.
struct Twips {
    int left = 0, top = 0, width = 0, height = 0;
};

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

enum class Align { Left, Center };

// How a control looks. The font family is always 宋体 ("SimSun", substituted
// by an installed CJK font); an unset font inherits the form's.
struct Look {
    std::optional<double> fontPoints = std::nullopt;
    bool bold = false;
    std::optional<Rgb> foreground = std::nullopt;
    std::optional<Rgb> background = std::nullopt;  // unset: the toolkit's default
    bool transparent = false;                      // labels: no background of their own
    Align align = Align::Left;
};

class Frame;

// Where a control sits and what it is called. The widget's objectName is
// `name`, or `name_index` for an element of a control array (txtTime_3).
struct Place {
    std::string name;
    int index = -1;  // -1: not an array element
    Twips rect;
    const Frame* parent = nullptr;  // nullptr: directly on the form
};

namespace detail {
struct ControlState;  // owned by the toolkit implementation
}

class Control {
public:
    Control() = default;
    bool Valid() const;  // the control exists (its form is loaded)
    std::string ObjectName() const;
    void SetEnabled(bool enabled);
    bool Enabled() const;
    void SetToolTip(std::string_view text);
    std::string ToolTip() const;
    void SetFocus();
    bool HasFocus() const;

    explicit Control(std::shared_ptr<detail::ControlState> state) : state_(std::move(state)) {}
    const std::shared_ptr<detail::ControlState>& State() const { return state_; }

protected:
    std::shared_ptr<detail::ControlState> state_;
};

class Label : public Control {
public:
    using Control::Control;
    void SetCaption(std::string_view caption);
    std::string Caption() const;
};

class Frame : public Control {
public:
    using Control::Control;
    void SetCaption(std::string_view caption);
    std::string Caption() const;
};

class Button : public Control {
public:
    using Control::Control;
    void SetCaption(std::string_view caption);
    std::string Caption() const;
    // Runs on every click: mouse, Space or Enter on the focused button, and
    // Enter/Esc when the form made it its default/cancel button.
    void OnClick(std::function<void()> handler);
};

class TextBox : public Control {
public:
    using Control::Control;
    std::string Text() const;
    void SetText(std::string_view text);  // notifies OnChange like typing does
    // Locked: shows its text and takes the focus, but cannot be edited.
    void SetLocked(bool locked);
    bool Locked() const;
    // Every character shown as "*".
    void SetPasswordMask(bool masked);
    // Every change of the text, typed or set by code.
    void OnChange(std::function<void()> handler);
    // The focus moved from this box to another control of the same form (by
    // Tab, a click or code). Not when the window loses activation, a popup
    // opens, or the form closes.
    void OnLostFocus(std::function<void()> handler);
    // "{Home}+{End}": cursor home, then select to the end: the whole text.
    void SelectAll();
    std::string SelectedText() const;
};

class ComboBox : public Control {
public:
    using Control::Control;
    void SetItems(const std::vector<std::string>& items);
    std::vector<std::string> Items() const;
    std::string Text() const;
    // Shows this text: selects the matching item, or shows the text alone.
    void SetText(std::string_view text);
    // A choice from the list by the operator; never for SetText by code.
    void OnClick(std::function<void()> handler);
};

// The spin control: holds its own integer value within [lower, upper], step 1,
// stops at its limits. It is bound to no box: the dialog copies its value.
class UpDown : public Control {
public:
    using Control::Control;
    int Value() const;
    // Throws UiError (kStatusInvalidArg) for a value outside the limits; the
    // value is then unchanged.
    void SetValue(int value);
    void SetRange(int lower, int upper);  // the value is moved into the range
    int Lower() const;
    int Upper() const;
    // Every change of the value: an arrow click or SetValue. Not when a value
    // is set to what it already is.
    void OnChange(std::function<void()> handler);
};

}  // namespace dg::ui
