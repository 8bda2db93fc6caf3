#pragma once
// Failure texts as the operator and the integrator read them: a Chinese
// sentence that says what failed, a full-width colon, then the technical
// detail (a name, the engine's or the system's own text, a code), which
// stays as it came so that it can be looked up. Header-only, no dependencies.
#include <string>
#include <string_view>

namespace dg {

// A name, a file or a value inside a Chinese sentence: “mdb\Para.mdb”.
inline std::string Quoted(std::string_view name) { return "“" + std::string(name) + "”"; }

// "<sentence>：<detail>".
inline std::string FailureText(std::string_view sentence, std::string_view detail) {
    return std::string(sentence) + "：" + std::string(detail);
}

}  // namespace dg
