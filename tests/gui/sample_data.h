// A small simulation folder written by the GUI tests: constants, a car folder
// with vehicle, engine and gear tables, cycles and pictures.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

namespace sample {

inline void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}

inline QByteArray Lines(const QStringList& lines) {
    return (lines.join("\r\n") + "\r\n").toUtf8();
}

// Max torque 160 Nm (axis 200 Nm), efficiency 30 %, CO 10, NOx 5, HC 1 g/kg.
inline QByteArray EngineTable() {
    QByteArray t = "TAB 1\r\nrpm Nm\r\n0 100\r\n1000 130\r\n2000 150\r\n4000 160\r\n"
                   "6000 150\r\n7000 120\r\n20000 0\r\n\r\n";
    const char* cols = "0 20 40 60 80 100 120 140 160 180 200 400 2000";
    for (auto [name, val] : {std::pair{"2", "30"}, {"3", "10"}, {"4", "5"}, {"5", "1"}}) {
        t += QByteArray("TAB ") + name + "\r\n" + cols + "\r\n";
        for (int r : {0, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 20000}) {
            t += QByteArray::number(r);
            for (int i = 0; i < 13; ++i) t += QByteArray(" ") + val;
            t += "\r\n\r\n";
        }
    }
    t += "Const\r\nStegtid\r\n0.3\r\n";
    return t;
}

inline QStringList ConsLines() {
    return {"TID.CYK", "KARTA.CYK", "Bil", "x", "MOTOR.TAB", "x", "FORDON.TAB", "VAXEL.TAB", "x",
            "MUSS.BMP", "x", "x", "RES.TXT", "RESP.TXT", "Testare", "750", "0", "-1", "0", "0",
            "50", "0", "0", "8000", "500", "0", "-1", "0", "0", "", "", "8.9", "0.745", "6000",
            "100000", "100000", "K", "1", "0111", "1", "J", "J", "J", "N", "", "", "", "0.01", "",
            "", "", "0", "0", "0", " ", "R", "0.04", "A"};
}

inline void Picture(const QString& path, int w, int h, QColor background, QColor body) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(background);
    for (int y = 2; y < h - 2; ++y)
        for (int x = 2; x < w - 2; ++x) img.setPixelColor(x, y, body);
    img.save(path, "BMP");
}

// Writes the folder and returns its path.
inline QString Make(QTemporaryDir& dir) {
    QDir d(dir.path());
    d.mkdir("Bil");
    Write(d.filePath("CONS.VAL"), Lines(ConsLines()));
    Write(d.filePath("Bil/FORDON.TAB"),
          "TAB 1\r\nv F\r\n0 200\r\n10 300\r\n20 600\r\n40 1500\r\n60 2800\r\n100 7000\r\n"
          "1000 700000\r\nConst\r\nMassa\r\n1300\r\nCdA\r\n0.65\r\n");
    Write(d.filePath("Bil/MOTOR.TAB"), EngineTable());
    QStringList gears{"8 0 96 220 98", "14 6 96 130 98", "20 11 97 90 98", "28 17 97 70 98"};
    for (int i = 0; i < 6; ++i) gears << "99 24 97 57 98";
    Write(d.filePath("Bil/VAXEL.TAB"), Lines(gears));
    Write(d.filePath("KARTA.CYK"), "0 10 0 0 -1 0\r\n300 20 2 0 -1 3200\r\n100000 20 0 100 -1 0\r\n");
    Write(d.filePath("TID.CYK"), "0 10 0 0 0.04 0\r\n1000 0 0 100 0.04 0\r\n");
    Write(d.filePath("Air.mid"), "MThd");
    Picture(d.filePath("Bil/MUSS.BMP"), 300, 220, QColor(0, 0, 128), QColor(255, 255, 0));
    for (int i = 1; i <= 4; ++i)
        Picture(d.filePath(QString("MOT%1.BMP").arg(i)), 10 * i + 10, 10 * i + 10, Qt::green,
                QColor(0, 0, 255));
    return dir.path();
}

} // namespace sample
