#pragma once
// Paths from and to the UTF-8 texts the store works in. A path built from a
// plain std::string would be read in the ANSI code page on Windows; these
// read and write UTF-8 on every platform.
#include <filesystem>
#include <string>
#include <string_view>

namespace dg::store {

// A relative or absolute name with '\' or '/' as separator, as a path with
// the platform's own separator. Throws StoreError for text that is not UTF-8
// where the platform needs to convert it.
std::filesystem::path PathFromUtf8(std::string_view name);

// The path as UTF-8 (what SQLite takes as a file name on every platform).
std::string Utf8Of(const std::filesystem::path& path);

}  // namespace dg::store
