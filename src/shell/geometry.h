// Layout units: the windows are laid out in twips (1440 to the inch) and
// fonts in hundredths of a point; both are converted with the window's DPI.
// Pure: tested natively.
#pragma once

// MulDiv-style rounding (half away from zero) of value * dpi / per_inch.
constexpr int scale_rounded(int value, int dpi, int per_inch) {
    const long long product = static_cast<long long>(value) * dpi;
    const long long half = per_inch / 2;
    return static_cast<int>(product >= 0 ? (product + half) / per_inch : -((-product + half) / per_inch));
}

constexpr int twips_to_pixels(int twips, int dpi) { return scale_rounded(twips, dpi, 1440); }

// LOGFONT height (negative: character height) of a font size given in
// hundredths of a point.
constexpr int font_height_for(int centipoints, int dpi) { return -scale_rounded(centipoints, dpi, 7200); }
