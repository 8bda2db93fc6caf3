#pragma once
// What both toolkits do when a dialog handler fails: the failure is shown in
// a message box (its description, OK, critical icon) and the form stays
// usable. Nothing unwinds through an event handler or a window procedure
// (the i686 unwinder ends the process at a system frame).
#include <exception>
#include <functional>
#include <string>

#include "ui/message_box.h"

namespace dg::ui::detail {

inline void RunAndReport(const std::function<void()>& handler) noexcept {
    std::string failure;
    try {
        handler();
        return;
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
    }
    try {
        MsgBox(failure.empty() ? std::string("发生了未知的错误") : failure, Buttons::Ok, Icon::Critical);
    } catch (...) {
        // Nothing more can be done from inside a handler.
    }
}

}  // namespace dg::ui::detail
