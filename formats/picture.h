// Pictures of the data tools: drawn with QPainter on a QImage (real fonts,
// antialiasing) and written with Qt's image writer.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <string>

namespace tralvik::formats {

// Fonts need Qt's GUI application object; the first call makes one on the
// offscreen platform (the tools draw no window). Safe to call often.
void EnsureQtGui();

// A font of the given family (falling back to any sans-serif) with its size
// in pixels, hinted fully so that small labels stay crisp.
QFont PixelFont(const QString& family, int pixels, bool bold = false);

// Writes `img` as a Windows bitmap with Qt's writer: 24 bits per pixel for an
// RGB image, 4 bits for an indexed one of at most 16 colours. Throws
// std::runtime_error naming the file when it cannot be written.
void WritePicture(const QImage& img, const std::string& path);

// The bytes of `img` as a file of `format` ("bmp", "png"), for writing
// through WriteBytes. Throws std::runtime_error when Qt cannot encode it.
std::string EncodePicture(const QImage& img, const char* format);

// Reads any picture Qt reads, as 32-bit RGB. Throws std::runtime_error naming
// the file when it cannot be read.
QImage ReadPicture(const std::string& path);

// The picture in the given colours (at most 256), each pixel mapped to the
// nearest colour: an indexed image with exactly that colour table.
QImage ToPalette(const QImage& img, const QList<QRgb>& colours);

} // namespace tralvik::formats
