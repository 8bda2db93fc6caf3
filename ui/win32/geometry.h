#pragma once
// Twips to pixels and points to font heights at a given screen resolution:
// 1440 twips and 72 points make one inch. Pure, so that every resolution can
// be tested on any machine.

namespace dg::ui::win32 {

// Rounded to the nearest pixel, halves away from zero (15 twips a pixel at 96 dpi).
constexpr int TwipsToPixels(int twips, int dpi) {
    const long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

// The LOGFONT height of a font of `points` (negative: the character height).
constexpr int FontHeight(double points, int dpi) {
    const double pixels = points * dpi / 72.0;
    return -static_cast<int>(pixels + 0.5);
}

}  // namespace dg::ui::win32
