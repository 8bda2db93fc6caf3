#include "component/core/guid.h"

#include <cstdio>
#include <cstring>

namespace dg::component {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads `digits` hex digits at text[pos] into value.
bool ReadHex(std::string_view text, std::size_t pos, int digits, std::uint64_t& value) {
    value = 0;
    for (int i = 0; i < digits; ++i) {
        const int d = HexDigit(text[pos + static_cast<std::size_t>(i)]);
        if (d < 0) return false;
        value = (value << 4) | static_cast<std::uint64_t>(d);
    }
    return true;
}

}  // namespace

std::string FormatGuid(const Guid& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.data1), static_cast<unsigned>(g.data2), static_cast<unsigned>(g.data3),
                  g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
    return text;
}

bool ParseGuid(std::string_view text, Guid& guid) {
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
    if (text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-') return false;
    std::uint64_t v = 0;
    Guid g{};
    if (!ReadHex(text, 1, 8, v)) return false;
    g.data1 = static_cast<std::uint32_t>(v);
    if (!ReadHex(text, 10, 4, v)) return false;
    g.data2 = static_cast<std::uint16_t>(v);
    if (!ReadHex(text, 15, 4, v)) return false;
    g.data3 = static_cast<std::uint16_t>(v);
    for (int i = 0; i < 2; ++i) {
        if (!ReadHex(text, 20 + static_cast<std::size_t>(2 * i), 2, v)) return false;
        g.data4[i] = static_cast<std::uint8_t>(v);
    }
    for (int i = 0; i < 6; ++i) {
        if (!ReadHex(text, 25 + static_cast<std::size_t>(2 * i), 2, v)) return false;
        g.data4[2 + i] = static_cast<std::uint8_t>(v);
    }
    guid = g;
    return true;
}

bool SameGuid(const Guid& a, const Guid& b) noexcept {
    return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 &&
           std::memcmp(a.data4, b.data4, sizeof a.data4) == 0;
}

}  // namespace dg::component
