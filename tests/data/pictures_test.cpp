// The oncoming-car pictures, placed as the road view places them: they stay
// in their own lane on a straight road and are hit when the car drives in the
// oncoming lane. The start picture has the size and colours of the window's.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "tests/data/data_files.h"
#include <QImageReader>

#include "formats/picture.h"

using namespace tralvik::datatest;
using tralvik::formats::ReadPicture;

namespace {

const QRgb kBlue = qRgb(0, 0, 255);

std::vector<QImage> LoadMot() {
    std::vector<QImage> p;
    for (int k = 1; k <= 4; ++k)
        p.push_back(ReadPicture(DataPath("MOT" + std::to_string(k) + ".BMP")));
    return p;
}

// True when the road view, drawing the oncoming car at depth `djup` with the
// heading error `kursfel` and side offset `sidled`, puts a pure blue pixel on
// one of its three test points.
bool Collides(const std::vector<QImage>& mot, int djup, int kursfel, int sidled) {
    const int xfjarr = static_cast<int>(
        std::nearbyint(kursfel - djup * static_cast<double>(kursfel - sidled) / 240));
    const int k = djup < 70 ? 0 : djup < 90 ? 1 : djup < 110 ? 2 : 3;
    const int shift[] = {0, -8, -16, -30};
    const int motx = xfjarr + 300 - djup + shift[k], moty = djup + 300;
    const QImage& p = mot[k];
    const QRgb transparent = p.pixel(0, p.height() - 1);
    for (int tx : {370, 450, 490}) {
        const int x = tx - motx, y = 500 - moty;
        if (!p.valid(x, y)) continue;
        const QRgb c = p.pixel(x, y);
        if (c != transparent && c == kBlue) return true;
    }
    return false;
}

TEST(OncomingCar, PicturesGrowFromFarToNear) {
    const auto mot = LoadMot();
    for (int k = 0; k < 4; ++k) {
        const QImage& p = mot[k];
        const QRgb bg = p.pixel(0, p.height() - 1);
        EXPECT_NE(bg, kBlue) << "MOT" << k + 1
                             << ": the background must not be the collision colour";
        int blue = 0, background = 0;
        for (int y = 0; y < p.height(); ++y)
            for (int x = 0; x < p.width(); ++x) {
                blue += p.pixel(x, y) == kBlue;
                background += p.pixel(x, y) == bg;
            }
        EXPECT_GT(blue, p.width() * p.height() / 5) << "MOT" << k + 1;
        EXPECT_GT(background, 0) << "MOT" << k + 1;
        if (k > 0) {
            EXPECT_GT(p.width(), mot[k - 1].width());
            EXPECT_GT(p.height(), mot[k - 1].height());
        }
    }
}

TEST(OncomingCar, PassesInItsOwnLaneOnAStraightRoad) {
    const auto mot = LoadMot();
    // Depths from the first drawn (20) to the nearest the view can give:
    // round((799 / 133)^3) = round(216.8) = 217.
    for (int djup = 20; djup <= 217; ++djup) {
        EXPECT_FALSE(Collides(mot, djup, 0, 0)) << "depth " << djup;
        // Drifted towards the right verge: further away still.
        EXPECT_FALSE(Collides(mot, djup, 0, -150)) << "depth " << djup;
    }
}

TEST(OncomingCar, IsHitInTheOncomingLane) {
    const auto mot = LoadMot();
    // Road shifted 200 pixels right: the centre line at the bottom lies at
    // about 562, right of the whole bonnet (360..500).
    // Depth 150: Xfjarr = round(0 - 150 * (0 - 200) / 240) = 125, MOT4 at
    // Motx = 125 + 300 - 150 - 30 = 245, Moty = 450; the test point (370, 500)
    // falls on the picture's pixel (125, 50), in the car's body.
    EXPECT_EQ(mot[3].pixel(125, 50), kBlue);
    EXPECT_TRUE(Collides(mot, 150, 0, 200));
    int hits = 0;
    for (int djup = 20; djup <= 217; ++djup) hits += Collides(mot, djup, 0, 200);
    EXPECT_GE(hits, 20); // the car stays on the test points for a while as it passes
}

TEST(StartPicture, Is640By480In16Colours) {
    QImageReader r(QString::fromStdString(DataPath("START.BMP")));
    const QImage p = r.read();
    ASSERT_FALSE(p.isNull()) << r.errorString().toStdString();
    EXPECT_EQ(p.width(), 640);
    EXPECT_EQ(p.height(), 480);
    // Stored with four bits per pixel: the header's bit count at byte 28.
    EXPECT_EQ(p.format(), QImage::Format_Indexed8);
    EXPECT_LE(p.colorCount(), 16);
    std::ifstream f(DataPath("START.BMP"), std::ios::binary);
    char head[30] = {};
    f.read(head, sizeof head);
    EXPECT_EQ(head[28], 4);
}

} // namespace
