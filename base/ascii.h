#pragma once
// Text helpers that every layer shares: header-only, no dependencies.
#include <string_view>

namespace dg {

// Equal ignoring the case of ASCII letters only, as member names, ProgIDs,
// column names and connection-text keys are compared. Other bytes (UTF-8
// included) compare exactly.
constexpr bool EqualsAsciiNoCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace dg
