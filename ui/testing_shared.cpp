#include "ui/testing_shared.h"

#include <algorithm>
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

void QueueAnswer(Answer answer) { L().answers.push_back(answer); }

const std::vector<MessageRecord>& Messages() { return L().messages; }

const std::vector<std::string>& DriverErrors() { return L().errors; }

}  // namespace dg::ui::testing
