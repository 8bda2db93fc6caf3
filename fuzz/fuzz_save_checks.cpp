// The save's pad-and-check path on arbitrary box texts. An accepted entry
// holds only real times of day as "hh:mm", a shift system from 1 to 4 and
// crews of at most ten characters, and the values to store match the texts.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "shift/class_settings_save.h"

namespace {

std::size_t CharCount(std::string_view text) {
    std::size_t n = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dg::shift;
    // Thirteen boxes separated by newlines: shift system, eight time boxes, four crews.
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string boxes[13];
    std::size_t start = 0;
    for (int k = 0; k < 13 && start <= input.size(); ++k) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        boxes[k] = input.substr(start, end - start);
        start = end + 1;
    }
    SettingsEntry entry;
    entry.banzhi = boxes[0];
    for (int k = 0; k < 8; ++k) {
        entry.time[k] = PadTimeText(boxes[1 + k]);
        // One leading "0" for a box of fewer than two characters, nothing otherwise.
        const std::size_t typed = CharCount(boxes[1 + k]);
        FUZZ_CHECK(CharCount(entry.time[k]) == (typed < 2 ? typed + 1 : typed));
        FUZZ_CHECK(entry.time[k].ends_with(boxes[1 + k]));
    }
    for (int k = 0; k < 4; ++k) entry.crew[k] = boxes[9 + k];

    CheckedSettings out;
    out.banzhi = -7;
    const EntryFault fault = CheckEntry(entry, out);
    FUZZ_CHECK((fault == EntryFault::None) == FaultText(fault).empty());
    if (fault != EntryFault::None) {
        FUZZ_CHECK(out.banzhi == -7);  // a refused entry leaves `out` alone
        return 0;
    }
    FUZZ_CHECK(out.banzhi >= 1 && out.banzhi <= 4);
    for (int row = 0; row < 4; ++row) {
        // "hh:mm", where an emptied box (padded to "0") counts as one digit 0.
        const std::string text = ChangeTimeText(entry, row);
        const std::size_t colon = entry.time[row].size();
        FUZZ_CHECK(colon >= 1 && colon <= 2 && text.size() - colon >= 2 && text.size() - colon <= 3 &&
                   text[colon] == ':');
        int hour = 0, minute = 0;
        for (std::size_t k = 0; k < text.size(); ++k) {
            if (k == colon) continue;
            FUZZ_CHECK(IsDigit(text[k]));
            (k < colon ? hour : minute) = (k < colon ? hour : minute) * 10 + (text[k] - '0');
        }
        FUZZ_CHECK(hour <= 23 && minute <= 59);
        FUZZ_CHECK(out.changeTime[row] == hour * 3600 + minute * 60);
    }
    for (int k = 0; k < 4; ++k) {
        FUZZ_CHECK(CharCount(out.crew[k]) <= kCrewMaxChars);
        FUZZ_CHECK(out.crew[k] == entry.crew[k]);
    }
    return 0;
}
