#pragma once
// The close of a loaded form, the same on every toolkit: ask the form
// (OnQueryUnload), then let it finish (OnUnload), then tear the window down.
// Used by FormState::RequestClose (ui/form.cpp), which passes the form's own
// handlers in.
#include <memory>

namespace dg::ui::detail {

// State has: bool loaded, closing; std::shared_ptr<char> alive (watched
// across the handlers, which may destroy the form); void TearDown().
// Returns true when the form is no longer loaded (or no longer exists).
template <typename State, typename Query, typename Unload>
bool DecideClose(State& state, Query queryUnload, Unload onUnload) {
    if (!state.loaded) return true;
    if (state.closing) return false;  // a close is already under way
    state.closing = true;
    const std::weak_ptr<char> watch = state.alive;
    bool refuse = false;
    try {
        refuse = queryUnload();
    } catch (...) {
        if (!watch.expired()) state.closing = false;
        throw;
    }
    if (watch.expired()) return true;  // the form object was destroyed meanwhile
    if (refuse || !state.loaded) {
        state.closing = false;
        return !state.loaded;
    }
    try {
        onUnload();
    } catch (...) {
        // The close was accepted: the window goes all the same.
        if (!watch.expired()) state.TearDown();
        throw;
    }
    if (watch.expired()) return true;
    state.TearDown();
    return true;
}

}  // namespace dg::ui::detail
