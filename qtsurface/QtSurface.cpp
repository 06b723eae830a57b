#include "qtsurface/QtSurface.h"

#include <QFileInfo>
#include <QFontDatabase>

#include "core/inputfile.h"
#include "core/paths.h"

namespace tralvik {

static QColor ToQ(Rgb c) { return QColor(c.r, c.g, c.b); }

QtSurface::QtSurface(int width, int height, Drawing drawing)
    : image_(width, height, QImage::Format_RGB32), font_(WindowFont()),
      ascent_(QFontMetrics(font_).ascent()), drawing_(drawing) {
    image_.fill(Qt::black);
}

QtSurface::~QtSurface() = default;

// The panel's texts are laid out with spaces for "Arial Black", whose space
// is 682 and whose digits are 1366 units of its 2048-unit em wide, rounded to
// whole pixels (at 13 pixels: 4 and 9, so the speed scale's three strings
// meet at x = 275 and 527). A substitute face is narrowed until its space and
// digits are no wider than that, so each string keeps the width it was laid
// out for and no label covers the next.
static int IntendedAdvance(int pixelSize, int units) {
    return (pixelSize * units + 1024) / 2048;
}

static bool FitsLayout(const QFont& f, int pixelSize) {
    QFontMetricsF fm(f);
    return fm.horizontalAdvance(QChar(' ')) <= IntendedAdvance(pixelSize, 682) &&
           fm.horizontalAdvance(QStringLiteral("0123456789")) <= 10 * IntendedAdvance(pixelSize, 1366);
}

QFont QtSurface::WindowFont(int pixelSize) {
    // "Arial Black" where installed; otherwise the heaviest sans at hand keeps
    // the look. Without the Black weight the fallback would be a regular face.
    QFont f(QStringList{"Arial Black", "DejaVu Sans", "Liberation Sans"});
    f.setPixelSize(pixelSize);
    f.setWeight(QFont::Black);
    f.setStyleHint(QFont::SansSerif);
    for (int stretch = 100; stretch > 50 && !FitsLayout(f, pixelSize); --stretch)
        f.setStretch(stretch - 1);
    return f;
}

void QtSurface::SetUpPainter(QPainter& p) const {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.setFont(font_);
}

QPainter& QtSurface::P() {
    if (!painter_) {
        painter_ = std::make_unique<QPainter>(&image_);
        SetUpPainter(*painter_);
        if (rowLimit_ >= 0) painter_->setClipRect(QRect(0, 0, image_.width(), rowLimit_));
    }
    return *painter_;
}

const QImage& QtSurface::Image() {
    painter_.reset();
    return image_;
}

void QtSurface::SetFont(const QFont& font) {
    font_ = font;
    ascent_ = QFontMetrics(font_).ascent();
    texts_.clear();
    if (painter_) painter_->setFont(font_);
}

void QtSurface::SetFill(Rgb c) { fill_ = ToQ(c); }
void QtSurface::SetOutline(Rgb c) { outline_ = ToQ(c); }

void QtSurface::Rectangle(int x1, int y1, int x2, int y2) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (x2 - x1 < 1 || y2 - y1 < 1) return; // covers no pixel
    QPainter& p = P();
    if (x2 - x1 == 1 || y2 - y1 == 1) {
        // One pixel wide or high: only the outline shows.
        p.fillRect(QRect(x1, y1, x2 - x1, y2 - y1), outline_);
        return;
    }
    if (drawing_ == Drawing::Cached) {
        // The outline's ring and the fill inside it, as two fills.
        const QRect all(x1, y1, x2 - x1, y2 - y1);
        if (outline_ != fill_) p.fillRect(all, outline_);
        p.fillRect(outline_ != fill_ ? all.adjusted(1, 1, -1, -1) : all, fill_);
        return;
    }
    p.setPen(QPen(outline_, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(fill_);
    // The pen's outline adds one pixel: this covers x1..x2-1 and y1..y2-1.
    p.drawRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
}

void QtSurface::Polygon(const std::vector<Point>& points) {
    QPolygon poly;
    for (const Point& pt : points) poly << QPoint(pt.x, pt.y);
    QPainter& p = P();
    p.setPen(QPen(outline_, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(fill_);
    p.drawPolygon(poly);
}

void QtSurface::Line(int x1, int y1, int x2, int y2) {
    QPainter& p = P();
    // A flat cap leaves out the end pixel, as the line drawing always did.
    p.setPen(QPen(outline_, 1, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(x1, y1, x2, y2);
}

void QtSurface::TextDirect(int x, int y, const Text& text) {
    QPainter& p = P();
    p.setPen(Qt::white);
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(fill_);
    QString s = QString::fromUtf8(Cp1252ToUtf8(text).c_str());
    p.drawText(QPoint(x, y + ascent_), s);
    p.setBackgroundMode(Qt::TransparentMode);
}

namespace {
// Room around a cached text for glyphs that reach before its start or
// above its top.
constexpr int kTextMargin = 24;
} // namespace

const QtSurface::CachedText& QtSurface::Cached(const Text& text) {
    const QRgb fill = fill_.rgb();
    std::string key(reinterpret_cast<const char*>(&fill), sizeof fill);
    key += text;
    auto it = texts_.find(key);
    if (it != texts_.end()) return it->second;
    if (texts_.size() > 4096) texts_.clear(); // changing numbers must not grow it forever

    // Drawn twice as TextDirect would, on two different grounds: a pixel that
    // comes out the same on both is the text's own (its box or a glyph), one
    // left as the ground is not touched, and one that differs blends with
    // what lies below, which a copy cannot give: such a text is always drawn
    // directly.
    const QString s = QString::fromUtf8(Cp1252ToUtf8(text).c_str());
    const QFontMetrics fm(font_);
    const QSize size(fm.horizontalAdvance(s) + 2 * kTextMargin, fm.height() + 2 * kTextMargin);
    const QRgb grounds[2] = {0xFF000000, 0xFF00FF00};
    QImage drawn[2];
    for (int k = 0; k < 2; ++k) {
        drawn[k] = QImage(size, QImage::Format_RGB32);
        drawn[k].fill(grounds[k]);
        QPainter p(&drawn[k]);
        SetUpPainter(p);
        p.setPen(Qt::white);
        p.setBackgroundMode(Qt::OpaqueMode);
        p.setBackground(fill_);
        p.drawText(QPoint(kTextMargin, kTextMargin + ascent_), s);
    }
    CachedText c;
    QImage stamp(size, QImage::Format_ARGB32_Premultiplied);
    stamp.fill(Qt::transparent);
    QRect box;
    for (int yy = 0; yy < size.height() && !c.direct; ++yy) {
        const auto* a = reinterpret_cast<const QRgb*>(drawn[0].constScanLine(yy));
        const auto* b = reinterpret_cast<const QRgb*>(drawn[1].constScanLine(yy));
        auto* out = reinterpret_cast<QRgb*>(stamp.scanLine(yy));
        for (int xx = 0; xx < size.width(); ++xx) {
            if (a[xx] == grounds[0] && b[xx] == grounds[1]) continue; // untouched
            if (a[xx] != b[xx]) {
                c.direct = true;
                break;
            }
            out[xx] = a[xx] | 0xFF000000;
            box |= QRect(xx, yy, 1, 1);
        }
    }
    if (!c.direct && !box.isEmpty()) {
        c.stamp = stamp.copy(box);
        c.at = box.topLeft() - QPoint(kTextMargin, kTextMargin);
    }
    return texts_.emplace(std::move(key), std::move(c)).first->second;
}

void QtSurface::TextOut(int x, int y, const Text& text) {
    if (drawing_ == Drawing::Direct) return TextDirect(x, y, text);
    const CachedText& c = Cached(text);
    if (c.direct) return TextDirect(x, y, text);
    if (!c.stamp.isNull()) P().drawImage(QPoint(x, y) + c.at, c.stamp);
}

void QtSurface::LimitRows(int bottom) {
    rowLimit_ = bottom;
    if (!painter_) return;
    if (bottom >= 0)
        painter_->setClipRect(QRect(0, 0, image_.width(), bottom));
    else
        painter_->setClipping(false);
}

void QtSurface::SetPixel(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return;
    if (rowLimit_ >= 0 && y >= rowLimit_) return;
    // The raster engine writes straight into the image, so a direct write
    // stays in order with what the painter has drawn.
    image_.setPixel(x, y, qRgb(c.r, c.g, c.b));
}

Rgb QtSurface::GetPixel(int x, int y) {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return {};
    QRgb c = image_.pixel(x, y);
    return Rgb{static_cast<uint8_t>(qRed(c)), static_cast<uint8_t>(qGreen(c)),
               static_cast<uint8_t>(qBlue(c))};
}

void QtSurface::Draw(int x, int y, const Picture& picture) {
    const auto* q = dynamic_cast<const QtPicture*>(&picture);
    if (!q) return;
    P().drawImage(QPoint(x, y), q->image);
}

std::unique_ptr<Picture> QtSurface::LoadPicture(const Text& file, bool transparent) {
    QString path = QString::fromUtf8(FsPath(file).c_str());
    QString shown = QString::fromUtf8(Cp1252ToUtf8(file).c_str());
    QFileInfo info(path);
    if (file.empty() || !info.exists() || !info.isFile() || !info.isReadable())
        throw IoError("Cannot open file " + shown.toStdString(), "");
    // Read as every input is: within the size limit, not waited for.
    const std::string bytes = ReadRegularFile(path.toStdString(), shown.toStdString());
    QImage img;
    if (!img.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size())) ||
        img.isNull())
        throw IoError("Bitmap image is not valid", shown.toStdString());
    if (transparent) {
        img = img.convertToFormat(QImage::Format_ARGB32);
        QRgb key = img.pixel(0, img.height() - 1) & 0x00FFFFFF;
        for (int yy = 0; yy < img.height(); ++yy) {
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(yy));
            for (int xx = 0; xx < img.width(); ++xx)
                if ((line[xx] & 0x00FFFFFF) == key) line[xx] = 0;
        }
    } else {
        img = img.convertToFormat(QImage::Format_RGB32);
    }
    return std::make_unique<QtPicture>(std::move(img));
}

} // namespace tralvik
