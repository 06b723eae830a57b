// The drawing surface on an off-screen 800 x 600 QImage: the window shows it,
// the batch runner saves it as PNG.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <memory>
#include <string>
#include <unordered_map>

#include "station/Surface.h"

namespace tralvik {

class QtPicture : public Picture {
  public:
    explicit QtPicture(QImage image) : image(std::move(image)) {}
    QImage image;
};

class QtSurface : public Surface {
  public:
    // How text and rectangles reach the image. Both give the same pixels:
    // Direct lays out every text and strokes every rectangle as it is drawn;
    // Cached renders each distinct text once and then copies its pixels, and
    // fills rectangles. Direct stays as the reference the cached way is
    // checked against.
    enum class Drawing { Cached, Direct };

    explicit QtSurface(int width = 800, int height = 600, Drawing drawing = Drawing::Cached);
    ~QtSurface() override;

    void SetFill(Rgb c) override;
    void SetOutline(Rgb c) override;
    void Rectangle(int x1, int y1, int x2, int y2) override;
    void Polygon(const std::vector<Point>& points) override;
    void Line(int x1, int y1, int x2, int y2) override;
    void TextOut(int x, int y, const Text& text) override;
    void SetPixel(int x, int y, Rgb c) override;
    Rgb GetPixel(int x, int y) override;
    void Draw(int x, int y, const Picture& picture) override;
    std::unique_ptr<Picture> LoadPicture(const Text& file, bool transparent) override;
    void LimitRows(int bottom) override;

    // The frame as drawn so far (ends the painter, so the image is complete).
    const QImage& Image();
    void SetFont(const QFont& font);

    // The window font: a heavy sans of 13 pixels ("Arial Black" when installed).
    static QFont WindowFont(int pixelSize = 13);

  private:
    // A text as drawn on one fill colour: the pixels it sets (its box and
    // glyphs), opaque, the rest transparent; `at` is its place relative to
    // the text's top-left corner.
    struct CachedText {
        QImage stamp;
        QPoint at;
        bool direct = false; // some pixels blend with what lies below
    };
    QPainter& P();
    void SetUpPainter(QPainter& p) const;
    const CachedText& Cached(const Text& text);
    void TextDirect(int x, int y, const Text& text);

    QImage image_;
    std::unique_ptr<QPainter> painter_;
    QColor fill_{Qt::black}, outline_{Qt::black};
    QFont font_;
    int ascent_ = 0;
    Drawing drawing_;
    std::unordered_map<std::string, CachedText> texts_;
    int rowLimit_ = -1; // LimitRows; negative: none
};

} // namespace tralvik
