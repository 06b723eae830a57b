#include "tools/lib/canvas.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

#include "tools/lib/font.h"
#include "tools/lib/textout.h"

namespace tralvik::tools {

Canvas::Canvas(int width, int height, Rgb fill)
    : w_(width), h_(height), px_(static_cast<std::size_t>(width) * height, fill) {
    if (width <= 0 || height <= 0) throw std::runtime_error("picture size must be positive");
}

void Canvas::FillRect(int x1, int y1, int x2, int y2, Rgb c) {
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    for (int y = std::max(0, y1); y < std::min(h_, y2); ++y)
        for (int x = std::max(0, x1); x < std::min(w_, x2); ++x) Set(x, y, c);
}

void Canvas::Line(double x1, double y1, double x2, double y2, Rgb c, int pen) {
    const double dx = x2 - x1, dy = y2 - y1;
    const int n = static_cast<int>(std::ceil(std::max(std::fabs(dx), std::fabs(dy)))) + 1;
    const int lo = -(pen - 1) / 2, hi = pen / 2;
    for (int i = 0; i <= n; ++i) {
        const double t = n == 0 ? 0.0 : static_cast<double>(i) / n;
        const int x = static_cast<int>(std::lround(x1 + dx * t));
        const int y = static_cast<int>(std::lround(y1 + dy * t));
        for (int a = lo; a <= hi; ++a)
            for (int b = lo; b <= hi; ++b) Set(x + a, y + b, c);
    }
}

void Canvas::FillPolygon(const std::vector<Point>& pts, Rgb c) {
    if (pts.size() < 3) return;
    double ymin = pts[0].y, ymax = pts[0].y;
    for (const auto& p : pts) {
        ymin = std::min(ymin, p.y);
        ymax = std::max(ymax, p.y);
    }
    for (int y = std::max(0, static_cast<int>(std::floor(ymin)));
         y <= std::min(h_ - 1, static_cast<int>(std::ceil(ymax))); ++y) {
        const double yc = y + 0.5;
        std::vector<double> xs;
        for (std::size_t i = 0; i < pts.size(); ++i) {
            const Point& a = pts[i];
            const Point& b = pts[(i + 1) % pts.size()];
            if ((a.y <= yc && b.y > yc) || (b.y <= yc && a.y > yc))
                xs.push_back(a.x + (yc - a.y) * (b.x - a.x) / (b.y - a.y));
        }
        std::sort(xs.begin(), xs.end());
        for (std::size_t i = 0; i + 1 < xs.size(); i += 2) {
            const int xa = static_cast<int>(std::ceil(xs[i] - 0.5));
            const int xb = static_cast<int>(std::floor(xs[i + 1] - 0.5));
            for (int x = xa; x <= xb; ++x) Set(x, y, c);
        }
    }
}

void Canvas::FillEllipse(double cx, double cy, double rx, double ry, Rgb c) {
    for (int y = static_cast<int>(std::floor(cy - ry)); y <= static_cast<int>(std::ceil(cy + ry));
         ++y)
        for (int x = static_cast<int>(std::floor(cx - rx));
             x <= static_cast<int>(std::ceil(cx + rx)); ++x) {
            const double u = (x + 0.5 - cx) / rx, v = (y + 0.5 - cy) / ry;
            if (u * u + v * v <= 1.0) Set(x, y, c);
        }
}

int Canvas::Text(int x, int y, const std::string& text, Rgb c, int scale) {
    int cx = x;
    for (unsigned char ch : text) {
        const Glyph& g = FontGlyph(ch);
        for (int row = 0; row < kFontRows; ++row)
            for (int col = 0; col < kFontCols; ++col)
                if (g.rows[row][col] == '#')
                    FillRect(cx + col * scale, y + row * scale, cx + (col + 1) * scale,
                             y + (row + 1) * scale, c);
        cx += (kFontCols + 1) * scale;
    }
    return cx - x;
}

int Canvas::TextWidth(const std::string& text, int scale) {
    return static_cast<int>(text.size()) * (kFontCols + 1) * scale;
}

int Canvas::TextHeight(int scale) {
    return kFontRows * scale;
}

namespace {

void Put16(std::string& s, unsigned v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
uint32_t Get32(const std::string& s, std::size_t at) {
    if (at + 4 > s.size()) throw std::runtime_error("bitmap is truncated");
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}
unsigned Get16(const std::string& s, std::size_t at) {
    if (at + 2 > s.size()) throw std::runtime_error("bitmap is truncated");
    return static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8);
}

} // namespace

void WriteBmp(const Canvas& c, const std::string& path, int bits) {
    if (bits != 24 && bits != 8 && bits != 4) throw std::runtime_error("unsupported bit depth");
    std::vector<Rgb> palette;
    std::map<uint32_t, int> index;
    if (bits != 24) {
        const std::size_t max = bits == 8 ? 256 : 16;
        for (const Rgb& p : c.pixels()) {
            const uint32_t key = (p.r << 16) | (p.g << 8) | p.b;
            if (index.count(key)) continue;
            if (palette.size() == max)
                throw std::runtime_error(path + ": more than " + std::to_string(max) + " colours");
            index[key] = static_cast<int>(palette.size());
            palette.push_back(p);
        }
        palette.resize(max); // unused entries black
    }
    const int w = c.width(), h = c.height();
    const uint32_t rowBytes = ((static_cast<uint32_t>(w) * bits + 31) / 32) * 4;
    const uint32_t paletteBytes = static_cast<uint32_t>(palette.size()) * 4;
    const uint32_t offset = 14 + 40 + paletteBytes;
    const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(h);

    std::string out;
    out += "BM";
    Put32(out, offset + imageBytes);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(w));
    Put32(out, static_cast<uint32_t>(h)); // positive: bottom-up rows
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(bits));
    Put32(out, 0); // BI_RGB
    Put32(out, imageBytes);
    Put32(out, 2835); // 72 dpi
    Put32(out, 2835);
    Put32(out, static_cast<uint32_t>(palette.size()));
    Put32(out, 0);
    for (const Rgb& p : palette) {
        out += static_cast<char>(p.b);
        out += static_cast<char>(p.g);
        out += static_cast<char>(p.r);
        out += '\0';
    }
    for (int y = h - 1; y >= 0; --y) {
        std::string row(rowBytes, '\0');
        for (int x = 0; x < w; ++x) {
            const Rgb p = c.Get(x, y);
            if (bits == 24) {
                row[3 * x] = static_cast<char>(p.b);
                row[3 * x + 1] = static_cast<char>(p.g);
                row[3 * x + 2] = static_cast<char>(p.r);
            } else {
                const int i = index.at((p.r << 16) | (p.g << 8) | p.b);
                if (bits == 8) {
                    row[x] = static_cast<char>(i);
                } else {
                    unsigned char& b = reinterpret_cast<unsigned char&>(row[x / 2]);
                    b |= static_cast<unsigned char>(x % 2 == 0 ? i << 4 : i);
                }
            }
        }
        out += row;
    }
    WriteBytes(path, out);
}

Canvas ReadBmp(const std::string& path, int* bitsOut) {
    const std::string s = ReadBytes(path);
    if (s.size() < 54 || s[0] != 'B' || s[1] != 'M')
        throw std::runtime_error(path + ": not a bitmap");
    const uint32_t offset = Get32(s, 10);
    const uint32_t header = Get32(s, 14);
    if (header < 40) throw std::runtime_error(path + ": unsupported bitmap header");
    const int w = static_cast<int32_t>(Get32(s, 18));
    const int hRaw = static_cast<int32_t>(Get32(s, 22));
    const int bits = static_cast<int>(Get16(s, 28));
    if (Get32(s, 30) != 0) throw std::runtime_error(path + ": compressed bitmap");
    if (bits != 24 && bits != 8 && bits != 4)
        throw std::runtime_error(path + ": unsupported depth");
    const bool bottomUp = hRaw > 0;
    const int h = bottomUp ? hRaw : -hRaw;
    uint32_t colours = Get32(s, 46);
    if (bits != 24 && colours == 0) colours = 1u << bits;
    std::vector<Rgb> palette;
    for (uint32_t i = 0; i < colours && bits != 24; ++i) {
        const std::size_t at = 14 + header + 4 * i;
        if (at + 3 > s.size()) throw std::runtime_error(path + ": bitmap is truncated");
        palette.push_back({static_cast<uint8_t>(s[at + 2]), static_cast<uint8_t>(s[at + 1]),
                           static_cast<uint8_t>(s[at])});
    }
    const uint32_t rowBytes = ((static_cast<uint32_t>(w) * bits + 31) / 32) * 4;
    if (offset + static_cast<std::size_t>(rowBytes) * h > s.size())
        throw std::runtime_error(path + ": bitmap is truncated");
    Canvas c(w, h);
    for (int r = 0; r < h; ++r) {
        const int y = bottomUp ? h - 1 - r : r;
        const std::size_t base = offset + static_cast<std::size_t>(rowBytes) * r;
        for (int x = 0; x < w; ++x) {
            Rgb p;
            if (bits == 24) {
                p = {static_cast<uint8_t>(s[base + 3 * x + 2]),
                     static_cast<uint8_t>(s[base + 3 * x + 1]),
                     static_cast<uint8_t>(s[base + 3 * x])};
            } else {
                const unsigned char b =
                    static_cast<unsigned char>(s[base + (bits == 8 ? x : x / 2)]);
                const unsigned i = bits == 8 ? b : (x % 2 == 0 ? b >> 4 : b & 0x0F);
                if (i >= palette.size()) throw std::runtime_error(path + ": bad palette index");
                p = palette[i];
            }
            c.Set(x, y, p);
        }
    }
    if (bitsOut) *bitsOut = bits;
    return c;
}

void WritePpm(const Canvas& c, const std::string& path) {
    std::string out =
        "P6\n" + std::to_string(c.width()) + " " + std::to_string(c.height()) + "\n255\n";
    for (const Rgb& p : c.pixels()) {
        out += static_cast<char>(p.r);
        out += static_cast<char>(p.g);
        out += static_cast<char>(p.b);
    }
    WriteBytes(path, out);
}

} // namespace tralvik::tools
