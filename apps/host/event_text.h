#pragma once
// How the host reads and writes the component's events: argument names,
// dates, the JSON line of the announcer, the log line of the window, and the
// level in hand as learnt from BackAdmin.
#include <cstdint>
#include <string>

#include "abi_object.h"

namespace dghost {

// "2026-12-07" for an automation date (days since 1899-12-30); a date with a
// time of day gives "2026-12-07T06:00:20".
std::string FormatDate(double automationDate);

// The argument's name as the event interface declares it ("Data",
// "iCommand", "iBanzhi", ...), or "arg<N>" for an event the host does not know.
std::string ArgName(const std::string& eventName, std::size_t index);

// One line of JSON, e.g.
// {"event":"eventSetClass","iBanzhi":4,"iBanCii":"2","strBanBie":"乙班","dDateNow":"2026-12-07"}
std::string EventJson(const Event& event);

// "eventSetClass(iBanzhi=4, iBanCii="2", strBanBie="乙班", dDateNow=2026-12-07)"
std::string EventText(const Event& event);

// The host's call that is on the stack when an event arrives.
enum class CallInProgress { None, ShowDialog, ShowRevise, ShowLanding, ShowSetClass, ShiftClass };

// Level indices: 0 none, 1 管理员, 2 工程师.
constexpr std::int16_t kLevelNone = 0;

struct LevelReading {
    std::int16_t level;   // the level in hand afterwards
    std::string meaning;  // what the event means to the host, for the log
};

// Reads BackAdmin(Data, iCommand) in the light of the call in progress:
// during ShowDialog 199 with 1 or 2 is a login at that level, 199 with 0 a
// failed check, 200 a cancel; during ShowLanding (0, 200) is a logout;
// during ShowRevise the level does not change.
LevelReading ReadBackAdmin(CallInProgress call, std::int16_t current, std::int16_t data, std::int16_t command);

// "管理员", "工程师", or "未登陆" for 0 (and for anything unknown).
std::string LevelName(std::int16_t level);

// "2026-12-07 第2班（乙班）交班，每日4班" for an eventSetClass.
std::string ShiftSummary(const Event& event);

}  // namespace dghost
