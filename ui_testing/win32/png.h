#pragma once
// The test driver's PNG writer (png.cpp), kept out of the product.
#include <windows.h>

#include <string>

namespace dg::ui::win32 {

// Writes a 24-bit picture of `bitmap` to `pngPath`; false when it cannot.
bool WritePng(HBITMAP bitmap, int width, int height, const std::string& pngPath);

}  // namespace dg::ui::win32
