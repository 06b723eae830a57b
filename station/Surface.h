// The drawing surface the instrument panel and the road view draw on: the
// window's client area (or an off-screen frame), x to the right, y downwards.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/common.h"

namespace tralvik {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

namespace colour {
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kMagenta{255, 0, 255};
constexpr Rgb kLightGreen{79, 241, 55};
constexpr Rgb kOrange{247, 120, 8};
constexpr Rgb kGrey{160, 160, 160};
constexpr Rgb kLightBrown{191, 141, 13};
constexpr Rgb kDarkBrown{143, 42, 10};
constexpr Rgb kGrass{0, 128, 0};
constexpr Rgb kRed{255, 0, 0};
} // namespace colour

struct Point {
    int x = 0, y = 0;
};

// A loaded picture; what it holds is the surface implementation's business.
class Picture {
  public:
    virtual ~Picture() = default;
};

class Surface {
  public:
    virtual ~Surface() = default;
    virtual void SetFill(Rgb c) = 0;
    virtual void SetOutline(Rgb c) = 0;
    // Filled with the fill colour, a 1-pixel border in the outline colour;
    // covers x1 <= x < x2, y1 <= y < y2, for either order of the corners.
    virtual void Rectangle(int x1, int y1, int x2, int y2) = 0;
    // Filled polygon whose outline passes through every vertex.
    virtual void Polygon(const std::vector<Point>& points) = 0;
    // A line in the outline colour; its end pixel is left out.
    virtual void Line(int x1, int y1, int x2, int y2) = 0;
    // White text, opaque on the fill colour, top-left corner at (x, y).
    // The text holds Windows-1252 bytes.
    virtual void TextOut(int x, int y, const Text& text) = 0;
    virtual void SetPixel(int x, int y, Rgb c) = 0;
    // Reads back a pixel of the frame being drawn.
    virtual Rgb GetPixel(int x, int y) = 0;
    // Draws a picture with its top-left corner at (x, y); a picture loaded
    // as transparent leaves its key colour out.
    virtual void Draw(int x, int y, const Picture& picture) = 0;
    // Loads a bitmap; throws IoError ("Cannot open file ...", "Bitmap image is
    // not valid") when it cannot. A transparent picture's key colour is the
    // colour of its bottom-left pixel.
    virtual std::unique_ptr<Picture> LoadPicture(const Text& file, bool transparent) = 0;
    // Later drawing (pixels set included) leaves the rows from `bottom` down
    // as they are; a negative `bottom` lifts the limit.
    virtual void LimitRows(int bottom) { (void)bottom; }
};

// Limits the drawing to the rows above `bottom` while it lives.
class RowLimit {
  public:
    RowLimit(Surface& g, int bottom) : g_(g) { g_.LimitRows(bottom); }
    ~RowLimit() { g_.LimitRows(-1); }
    RowLimit(const RowLimit&) = delete;
    RowLimit& operator=(const RowLimit&) = delete;

  private:
    Surface& g_;
};

// The surface of a run without pixels: draws nothing, reads back black and
// loads empty pictures.
class NullSurface : public Surface {
  public:
    void SetFill(Rgb) override {}
    void SetOutline(Rgb) override {}
    void Rectangle(int, int, int, int) override {}
    void Polygon(const std::vector<Point>&) override {}
    void Line(int, int, int, int) override {}
    void TextOut(int, int, const Text&) override {}
    void SetPixel(int, int, Rgb) override {}
    Rgb GetPixel(int, int) override { return colour::kBlack; }
    void Draw(int, int, const Picture&) override {}
    std::unique_ptr<Picture> LoadPicture(const Text&, bool) override {
        return std::make_unique<Picture>();
    }
};

} // namespace tralvik
