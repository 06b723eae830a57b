// The tools' own bitmap font: 5 x 9 cells (capitals on rows 0..6, descenders on
// rows 7..8), covering printable ASCII and the Swedish letters of Windows-1252.
#pragma once

namespace tralvik::tools {

constexpr int kFontCols = 5;
constexpr int kFontRows = 9;

struct Glyph {
    unsigned char code;
    const char* rows[kFontRows]; // '#' = ink, anything else = background
};

// The glyph of a Windows-1252 byte; a hollow box for bytes without a glyph.
const Glyph& FontGlyph(unsigned char code);

} // namespace tralvik::tools
