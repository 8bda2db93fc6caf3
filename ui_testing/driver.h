#pragma once
// Test driver for dialogs (linked only into tests: dg_ui_testing).
//
// Actions are queued, then run one after another from the event loop once the
// next form window shows (each from a zero timer, so an action that opens a
// nested modal loop, such as a real message box, lets the following actions
// run inside it). Each action is performed as real widget input, so the
// form's own notifications fire. Actions left over when a form closes wait
// for the next form to show.
//
// Message boxes: a queued answer is returned without showing anything;
// without one, the toolkit's real message box is shown (ClickMessageBox
// clicks it). Every message box, answered or shown, is recorded.
//
// The interface is the same on every toolkit (Qt, Win32): tests written on it
// run on both backends.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/message_box.h"

namespace dg::ui::testing {

// --- queued widget input, by objectName ("txtPassword", "txtTime_3") ---
void Type(const std::string& control, const std::string& text);  // typed at the cursor (Chinese too); the focus stays
void ClearText(const std::string& control);                      // select all, then Backspace
void Click(const std::string& control);                          // mouse click on a button
enum class Key { Enter, Escape, Tab, Space, Home, End, Up, Down, Backspace };
void PressKey(const std::string& control, Key key);                // moves the focus there first
void Choose(const std::string& control, const std::string& item);  // choose an item from a combo's list (it closes)
void Focus(const std::string& control);                            // give it the focus (a click into it)
void SpinUp(const std::string& control);                           // click the spinner's up arrow
void SpinDown(const std::string& control);
void CloseFromFrame();                   // the window frame's close button
void EndSession();                       // the session ends (log-off, shut-down): the top form
                                         // sees a close of CloseOrigin::System
void ClickMessageBox(Answer button);     // click a button of the real message box now open
void OpenSystemMenu();                   // Alt+Space on the top form: its window menu opens
                                         // (Win32); on Qt the window manager owns that menu
void Run(std::function<void()> action);  // any code, in turn with the others

// --- message boxes ---
void QueueAnswer(Answer answer);
struct MessageRecord {
    std::string text;
    std::string title;  // the shown title: the default title when none was given
    Buttons buttons;
    Icon icon;
    Answer answer;
    std::string owner;  // the object name of the form that owned the box; "" for none (task-modal)
};
const std::vector<MessageRecord>& Messages();

// --- looking at the open forms (modeless ones, or from inside Run) ---
bool FormOpen(const std::string& formName);
std::vector<std::string> OpenForms();                               // object names, most recently shown first
int WindowsOf(const std::string& formName);                         // its windows that still exist, shown or hidden
std::optional<std::string> CaptionOf(const std::string& formName);  // the window title of an open form
std::optional<std::string> TextOf(const std::string& control);      // text, caption or combo text
bool EnabledOf(const std::string& control);
bool LockedOf(const std::string& control);                         // a text box that is read-only
std::optional<std::string> ToolTipOf(const std::string& control);  // the hint shown over the control: its own, "" for
                                                                   // none; a label passes the pointer to its frame
std::string FocusedControl();  // the control with the focus in the active form, or ""
// Geometry in pixels: a control relative to its form's client area, or a
// form's client area (left and top 0).
struct PixelRect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const PixelRect&) const = default;
};
std::optional<PixelRect> GeometryOf(const std::string& controlOrForm);
// The control drawn on top at a point of the form's client area (pixels), or "".
std::string ControlAt(const std::string& formName, int x, int y);
// The button of the form that carries the default border, or "".
std::string DefaultBorderOf(const std::string& formName);
// The colours a control paints itself with (it alone, not the controls laid
// over it), the most used first.
std::vector<Rgb> ColoursOf(const std::string& control);
bool SaveScreenshot(const std::string& formName, const std::string& pngPath);

// Forgets queued actions, queued answers, recorded messages and driver errors.
void Reset();
// Number of queued actions not yet run.
std::size_t PendingActions();
// Runs the event loop until every queued action has run (for modeless forms,
// whose actions need a loop to run in). False when some are still queued
// after timeoutMs.
bool RunQueued(int timeoutMs = 5000);
// What went wrong while running actions: a control not found or of the wrong
// kind, an item not in a combo's list, no message box to click within two
// seconds. Empty when every action ran as written.
const std::vector<std::string>& DriverErrors();

}  // namespace dg::ui::testing
