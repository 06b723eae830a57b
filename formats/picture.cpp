#include "formats/picture.h"

#include <QBuffer>
#include <QByteArray>

#include <QFontDatabase>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "formats/textout.h"

namespace tralvik::formats {

void EnsureQtGui() {
    if (QGuiApplication::instance()) return;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt wants a private runtime folder; without one it warns on every run.
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
        const std::string dir = "/tmp/runtime-" + std::to_string(::getuid());
        ::mkdir(dir.c_str(), 0700);
        qputenv("XDG_RUNTIME_DIR", dir.c_str());
    }
    static int argc = 1;
    static char name[] = "tralvik-tools";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QGuiApplication> app = std::make_unique<QGuiApplication>(argc, argv);
}

QFont PixelFont(const QString& family, int pixels, bool bold) {
    EnsureQtGui();
    QFont f(family);
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

std::string EncodePicture(const QImage& img, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter w(&buffer, format);
    if (!w.write(img))
        throw std::runtime_error(std::string("cannot make the ") + format + " picture: " +
                                 w.errorString().toStdString());
    return bytes.toStdString();
}

// Encoded first, then written through the one output path, so that a
// device named as the picture is written through, never replaced.
void WritePicture(const QImage& img, const std::string& path) {
    WriteBytes(path, EncodePicture(img, "bmp"));
}

QImage ReadPicture(const std::string& path) {
    QImageReader r(QString::fromStdString(path));
    QImage img = r.read();
    if (img.isNull())
        throw std::runtime_error("cannot read " + path + ": " + r.errorString().toStdString());
    return img.convertToFormat(QImage::Format_RGB32);
}

QImage ToPalette(const QImage& img, const QList<QRgb>& colours) {
    const QImage src = img.convertToFormat(QImage::Format_RGB32);
    QImage out(src.size(), QImage::Format_Indexed8);
    out.setColorTable(colours);
    for (int y = 0; y < src.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        uchar* o = out.scanLine(y);
        for (int x = 0; x < src.width(); ++x) {
            int best = 0;
            long bestD = -1;
            for (int k = 0; k < colours.size(); ++k) {
                const long dr = qRed(in[x]) - qRed(colours[k]),
                           dg = qGreen(in[x]) - qGreen(colours[k]),
                           db = qBlue(in[x]) - qBlue(colours[k]);
                // Weighted as the eye weighs the three.
                const long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
                if (bestD < 0 || d < bestD) bestD = d, best = k;
            }
            o[x] = static_cast<uchar>(best);
        }
    }
    return out;
}

} // namespace tralvik::formats
