#include "component/core/status.h"

#include <cstdint>
#include <exception>
#include <new>
#include <string>

#include "base/failure_text.h"
#include "store/errors.h"

namespace dg::component {
namespace {

thread_local std::string lastError;

}  // namespace

Status Fail(Status status, std::string_view description) {
    try {
        if (!description.empty()) {
            lastError.assign(description);
        } else {
            const char* sentence = status::TextsOf(status).sentence;
            lastError = FailureText(*sentence ? sentence : "操作失败", PlatformStatusText(status));
        }
    } catch (...) {
        lastError.clear();  // no memory for the text: keep the status at least
    }
    return status;
}

Status FailFromCurrentException() noexcept {
    try {
        throw;
    } catch (const status::StatusError& e) {
        return Fail(e.status(), e.what());
    } catch (const store::StoreError& e) {
        return Fail(store::kStatusStoreFailure, e.what());
    } catch (const std::bad_alloc&) {
        return Fail(status::kOutOfMemory);
    } catch (const std::exception& e) {
        return Fail(status::kUnexpected, e.what());
    } catch (...) {
        return Fail(status::kUnexpected);
    }
}

const char* LastError() noexcept { return lastError.c_str(); }

bool IsValidUtf8(std::string_view text) noexcept {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t extra;
        std::uint32_t cp;
        if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= extra) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        static constexpr std::uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

}  // namespace dg::component
