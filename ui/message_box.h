#pragma once
#include <optional>
#include <string_view>

namespace dg::ui {

enum class Buttons { Ok, YesNo };
enum class Icon { None, Critical, Exclamation, Question, Information };
enum class Answer { Ok, Yes, No };

// The title a message box shows when it has none of its own.
inline constexpr std::string_view kDefaultTitle = "Dutygate";

// Shows a modal message box and returns the button chosen. With no title the
// default title shows. Where no box can be shown (no usable display, or a
// thread that may not show one) the text goes to standard error and the
// default answer (the first button: Ok or Yes) is returned; it never throws.
// A test may have queued the answer (ui_testing/driver.h); then nothing is shown.
Answer MsgBox(std::string_view text, Buttons buttons = Buttons::Ok, Icon icon = Icon::None,
              std::optional<std::string_view> title = std::nullopt);

}  // namespace dg::ui
