#pragma once
// Writes a build-time writer's output file whole: on any failure it says
// why on standard error and leaves no half-written file for the build to
// take as done.
#include <cstdio>
#include <string>

namespace dg::component::win32 {

inline bool WriteTextFile(const char* path, const std::string& text) {
    std::FILE* out = std::fopen(path, "wb");
    if (out == nullptr) {
        std::perror(path);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "writing %s failed\n", path);
        std::remove(path);
        return false;
    }
    return true;
}

}  // namespace dg::component::win32
