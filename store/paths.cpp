#include "store/paths.h"

#include "base/failure_text.h"
#include "store/errors.h"
#include "store/store.h"

namespace dg::store {

std::filesystem::path PathFromUtf8(std::string_view name) {
    constexpr auto separator = static_cast<char8_t>(std::filesystem::path::preferred_separator);
    std::u8string text;
    text.reserve(name.size());
    for (const char c : name) text.push_back(c == '\\' || c == '/' ? separator : static_cast<char8_t>(c));
    try {
        return std::filesystem::path(text);
    } catch (const std::exception&) {  // Windows converts to UTF-16 and refuses malformed text
        throw StoreError(FailureText("名称不是有效的 UTF-8 文本", name));
    }
}

std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::filesystem::path ConnectionText::Path() const { return PathFromUtf8(dataSource); }

}  // namespace dg::store
