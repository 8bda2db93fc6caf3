#include "ui_testing/driver_shared.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <exception>
#include <vector>

#include "ui/app.h"
#include "ui/toolkit_state.h"

namespace dg::ui::testing {
namespace {

struct Log {
    std::deque<Answer> answers;
    std::vector<MessageRecord> messages;
    std::vector<std::string> errors;
};

Log& L() {
    static Log log;
    return log;
}

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kGiveUp{2000};

struct Action {
    std::string what;
    std::function<shared::Outcome()> run;
    std::optional<Clock::time_point> deadline;  // set at the first attempt
};

std::deque<Action>& Actions() {
    static std::deque<Action> actions;
    return actions;
}

void ClearLog() {
    L().answers.clear();
    L().messages.clear();
    L().errors.clear();
}

}  // namespace

namespace shared {

void Queue(std::string what, std::function<Outcome()> run) {
    toolkit::SetUp();
    Actions().push_back(Action{std::move(what), std::move(run), std::nullopt});
    if (toolkit::WhatIsOpen() != toolkit::Open::Nothing) Kick();
}

void Kick() {
    if (!Actions().empty() && !toolkit::Scheduled()) toolkit::Schedule(0);
}

void RunNext() {
    auto& actions = Actions();
    if (actions.empty()) return;
    const toolkit::Open open = toolkit::WhatIsOpen();
    if (open == toolkit::Open::Nothing) return;  // wait for the next form to show

    Action action = std::move(actions.front());
    actions.pop_front();
    if (!action.deadline) action.deadline = Clock::now() + kGiveUp;
    // Input goes to the active window, as the operator's would: wait until
    // the form on top has been activated (some platforms do it later).
    if (open == toolkit::Open::Form && !toolkit::ActivateTopForm(Clock::now() >= *action.deadline)) {
        actions.push_front(std::move(action));
        toolkit::Schedule(5);
        return;
    }
    // Scheduled before running: an action that opens a nested modal loop (a
    // real message box) lets the following actions run inside it.
    if (!actions.empty()) toolkit::Schedule(0);
    Outcome outcome = Outcome::Done;
    try {
        outcome = action.run();
    } catch (const std::exception& e) {
        Fail(action.what + ": " + e.what());
    }
    if (outcome == Outcome::Retry) {
        if (Clock::now() > *action.deadline) {
            Fail(action.what + ": gave up after " + std::to_string(kGiveUp.count()) + " ms");
        } else {
            actions.push_front(std::move(action));
            toolkit::Schedule(10);
        }
    }
}

std::optional<Answer> TakeQueuedAnswer(const ui::detail::MessageRequest&) {
    auto& answers = L().answers;
    if (answers.empty()) return std::nullopt;
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

void RecordMessage(const ui::detail::MessageRequest& request, Answer answer) {
    L().messages.push_back(
        MessageRecord{request.text, request.title, request.buttons, request.icon, answer, request.owner});
}

void Fail(const std::string& what) {
    L().errors.push_back(what);
    std::fprintf(stderr, "dg::ui::testing: %s\n", what.c_str());
}

std::vector<Rgb> ColoursByUse(const std::vector<std::uint32_t>& pixels) {
    std::vector<std::pair<std::uint32_t, int>> counts;
    for (std::uint32_t pixel : pixels) {
        pixel &= 0xFFFFFFu;
        auto it = std::find_if(counts.begin(), counts.end(), [pixel](const auto& c) { return c.first == pixel; });
        if (it == counts.end())
            counts.emplace_back(pixel, 1);
        else
            ++it->second;
    }
    std::stable_sort(counts.begin(), counts.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<Rgb> colours;
    for (const auto& [pixel, count] : counts)
        colours.push_back(Rgb{static_cast<std::uint8_t>(pixel >> 16), static_cast<std::uint8_t>(pixel >> 8),
                              static_cast<std::uint8_t>(pixel)});
    return colours;
}

}  // namespace shared

using shared::Outcome;
using shared::Queue;

void SpinUp(const std::string& control) { toolkit::QueueSpin(control, true); }
void SpinDown(const std::string& control) { toolkit::QueueSpin(control, false); }
void CloseFromFrame() { Queue("CloseFromFrame", &toolkit::CloseTopFormFromFrame); }
void EndSession() { Queue("EndSession", &toolkit::EndSessionOfTopForm); }

void Run(std::function<void()> action) {
    Queue("Run", [action = std::move(action)] {
        action();
        return Outcome::Done;
    });
}

std::vector<std::string> OpenForms() {
    std::vector<std::string> names;
    for (const detail::FormState* form : detail::OpenForms()) names.push_back(form->owner->ObjectName());
    return names;
}

bool FormOpen(const std::string& formName) {
    const auto names = OpenForms();
    return std::find(names.begin(), names.end(), formName) != names.end();
}

void Reset() {
    Actions().clear();
    ClearLog();
    toolkit::CancelSchedule();
}

std::size_t PendingActions() { return Actions().size(); }

bool RunQueued(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!Actions().empty() && Clock::now() < deadline) {
        shared::Kick();
        if (ProcessEvents(10) < 0) return false;
    }
    return Actions().empty();
}

void QueueAnswer(Answer answer) { L().answers.push_back(answer); }

const std::vector<MessageRecord>& Messages() { return L().messages; }

const std::vector<std::string>& DriverErrors() { return L().errors; }

}  // namespace dg::ui::testing
