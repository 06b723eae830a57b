// A small RGB drawing surface with the primitives the picture tools need, and
// BMP files written and read by our own code (24-bit, 8-bit and 4-bit).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tralvik::tools {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Point {
    double x = 0, y = 0;
};

class Canvas {
  public:
    Canvas() = default;
    Canvas(int width, int height, Rgb fill = {});

    int width() const { return w_; }
    int height() const { return h_; }
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }
    Rgb Get(int x, int y) const { return px_[static_cast<std::size_t>(y) * w_ + x]; }
    // Pixels outside the surface are ignored.
    void Set(int x, int y, Rgb c) {
        if (Inside(x, y)) px_[static_cast<std::size_t>(y) * w_ + x] = c;
    }

    // Filled rectangle covering x1 <= x < x2, y1 <= y < y2.
    void FillRect(int x1, int y1, int x2, int y2, Rgb c);
    // Line of the given width (square pen), end points included.
    void Line(double x1, double y1, double x2, double y2, Rgb c, int pen = 1);
    // Filled polygon (even-odd rule, pixel centres).
    void FillPolygon(const std::vector<Point>& pts, Rgb c);
    // Filled ellipse with centre (cx, cy) and radii rx, ry.
    void FillEllipse(double cx, double cy, double rx, double ry, Rgb c);
    // Text in the built-in 5 x 9 font, each font pixel drawn as scale x scale.
    // `text` holds Windows-1252 bytes. Returns the width drawn.
    int Text(int x, int y, const std::string& text, Rgb c, int scale = 1);
    static int TextWidth(const std::string& text, int scale = 1);
    static int TextHeight(int scale = 1);

    const std::vector<Rgb>& pixels() const { return px_; }

  private:
    int w_ = 0, h_ = 0;
    std::vector<Rgb> px_;
};

// Writes `c` as an uncompressed Windows bitmap with `bits` per pixel: 24, 8 or
// 4. For 8 and 4 the palette is built from the colours used; throws
// std::runtime_error when there are more colours than the palette holds.
void WriteBmp(const Canvas& c, const std::string& path, int bits = 24);
// Reads an uncompressed 24-, 8- or 4-bit bitmap (bottom-up or top-down).
// Throws std::runtime_error for anything else. `bits` receives the depth.
Canvas ReadBmp(const std::string& path, int* bits = nullptr);
// Writes the pixels as binary PPM (for viewing with other tools).
void WritePpm(const Canvas& c, const std::string& path);

} // namespace tralvik::tools
