#include "ui/testing_log.h"

#include <cstdio>
#include <deque>
#include <vector>

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

}  // namespace

namespace shared {

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

void ClearLog() {
    L().answers.clear();
    L().messages.clear();
    L().errors.clear();
}

}  // namespace shared

void QueueAnswer(Answer answer) { L().answers.push_back(answer); }

const std::vector<MessageRecord>& Messages() { return L().messages; }

const std::vector<std::string>& DriverErrors() { return L().errors; }

}  // namespace dg::ui::testing
