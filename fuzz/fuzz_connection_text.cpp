// The connection-text parser on arbitrary text: it either refuses with a
// StoreError or gives the served provider and a data source that reads back
// the same way.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "store/store.h"

namespace {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[k]) != lower(b[k])) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using dg::store::ConnectionText;
    const std::string text(reinterpret_cast<const char*>(data), size);
    ConnectionText parsed;
    try {
        parsed = ConnectionText::Parse(text);
    } catch (const dg::store::StoreError& e) {
        FUZZ_CHECK(e.what()[0] != '\0');
        return 0;
    }
    FUZZ_CHECK(EqualsIgnoringAsciiCase(parsed.provider, dg::store::kJetProvider));
    FUZZ_CHECK(!parsed.dataSource.empty());
    FUZZ_CHECK(parsed.dataSource.find('\0') == std::string::npos);
    FUZZ_CHECK(parsed.dataSource.find(';') == std::string::npos);
    const std::string path = parsed.Path().string();
    FUZZ_CHECK(path.size() == parsed.dataSource.size());
    FUZZ_CHECK(path.find('\\') == std::string::npos);

    // Written out again, the two parts read back unchanged.
    const ConnectionText again = ConnectionText::Parse("Provider=" + parsed.provider +
                                                       ";Data Source=" + parsed.dataSource);
    FUZZ_CHECK(again.provider == parsed.provider);
    FUZZ_CHECK(again.dataSource == parsed.dataSource);
    return 0;
}
