#include "event_text.h"

#include <dutygate/dutygate_commands.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cmath>
#include <cstdio>

namespace dghost {
namespace {

struct EventShape {
    const char* name;
    const char* args[4];
};

// The events' argument names, in order, as the event interfaces declare them.
constexpr EventShape kEvents[] = {
    {"BackAdmin", {"Data", "iCommand", nullptr, nullptr}},
    {"eventSetClass", {"iBanzhi", "iBanCii", "strBanBie", "dDateNow"}},
};

constexpr std::int16_t kConfirm = DG_COMMAND_CONFIRM;
constexpr std::int16_t kLeave = DG_COMMAND_LEAVE;

const EventArg* Arg(const Event& event, std::size_t index) {
    return index < event.args.size() ? &event.args[index] : nullptr;
}

}  // namespace

std::string FormatDate(double automationDate) {
    if (!std::isfinite(automationDate)) return "invalid date";
    using namespace std::chrono;
    const double whole = std::floor(automationDate);
    long long seconds = std::llround((automationDate - whole) * 86400.0);
    long long dayCount = static_cast<long long>(whole);
    if (seconds >= 86400) {  // rounding reached midnight
        seconds -= 86400;
        ++dayCount;
    }
    const year_month_day ymd{sys_days{year{1899} / December / 30} + days{dayCount}};
    char buffer[40];
    int n = std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                          static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    if (seconds != 0 && n > 0) {
        std::snprintf(buffer + n, sizeof buffer - n, "T%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    }
    return buffer;
}

std::string ArgName(const std::string& eventName, std::size_t index) {
    for (const EventShape& shape : kEvents) {
        if (eventName == shape.name && index < 4 && shape.args[index]) return shape.args[index];
    }
    return "arg" + std::to_string(index + 1);
}

std::string EventJson(const Event& event) {
    nlohmann::ordered_json line;
    line["event"] = event.name;
    for (std::size_t i = 0; i < event.args.size(); ++i) {
        const EventArg& arg = event.args[i];
        auto& slot = line[ArgName(event.name, i)];
        switch (arg.vt) {
            case DG_VT_I2:
            case DG_VT_I4: slot = arg.integer; break;
            case DG_VT_BOOL: slot = arg.integer != 0; break;
            case DG_VT_DATE: slot = FormatDate(arg.date); break;
            case DG_VT_BSTR: slot = arg.text; break;
            default: slot = nullptr; break;
        }
    }
    // Invalid UTF-8 from the component is replaced, never thrown about.
    return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string EventText(const Event& event) {
    std::string text = event.name + "(";
    for (std::size_t i = 0; i < event.args.size(); ++i) {
        const EventArg& arg = event.args[i];
        if (i) text += ", ";
        text += ArgName(event.name, i) + "=";
        switch (arg.vt) {
            case DG_VT_I2:
            case DG_VT_I4: text += std::to_string(arg.integer); break;
            case DG_VT_BOOL: text += arg.integer ? "True" : "False"; break;
            case DG_VT_DATE: text += FormatDate(arg.date); break;
            case DG_VT_BSTR: text += "\"" + arg.text + "\""; break;
            default: text += "Empty"; break;
        }
    }
    return text + ")";
}

std::string LevelName(std::int16_t level) {
    switch (level) {
        case 1: return "管理员";
        case 2: return "工程师";
        default: return "未登陆";
    }
}

LevelReading ReadBackAdmin(CallInProgress call, std::int16_t current, std::int16_t data, std::int16_t command) {
    switch (call) {
        case CallInProgress::ShowDialog:
            if (command == kConfirm && (data == 1 || data == 2)) return {data, "登陆成功：" + LevelName(data)};
            if (command == kConfirm) return {current, "密码错误，登陆未成功"};
            if (command == kLeave) return {current, "取消登陆，级别不变"};
            break;
        case CallInProgress::ShowLanding:
            if (command == kLeave && data == kLevelNone) return {kLevelNone, "已退出登陆"};
            break;
        case CallInProgress::ShowRevise:
            if (command == kConfirm) return {current, "密码已修改"};
            break;
        default: break;
    }
    return {current, "级别不变"};
}

std::string ShiftSummary(const Event& event) {
    const EventArg* banzhi = Arg(event, 0);
    const EventArg* banci = Arg(event, 1);
    const EventArg* banbie = Arg(event, 2);
    const EventArg* date = Arg(event, 3);
    if (!banzhi || !banci || !banbie || !date) return EventText(event);
    return FormatDate(date->date) + " 第" + banci->text + "班（" + banbie->text + "）交班，每日" +
           std::to_string(banzhi->integer) + "班";
}

}  // namespace dghost
