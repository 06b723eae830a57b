// Pixel tests of the drawing surface, the instrument panel and the road view.
#include <QTemporaryDir>
#include <QtTest>

#include "qtsurface/QtSurface.h"
#include "core/Vvaria.h"
#include "sample_data.h"
#include "station/Gauges.h"
#include "station/RoadView.h"

using namespace tralvik;

static QColor C(Rgb c) { return QColor(c.r, c.g, c.b); }

class SurfaceTest : public QObject {
    Q_OBJECT

    static QColor At(QtSurface& g, int x, int y) { return g.Image().pixelColor(x, y); }

    // A state ready for the per-tick drawing.
    static void Prepare(Sim& s) {
        ResetState(s);
        s.Tank = 50;
        s.Bensin = 50;
        s.Fbmax = 8000;
        s.Cykeltyp = 'K';
        s.Dt = 0.04;
        s.Tangent = '.';
    }

    static bool HasColour(QtSurface& g, QRect area, QColor c) {
        const QImage& img = g.Image();
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (img.pixelColor(x, y) == c) return true;
        return false;
    }

  private slots:
    void rectangleExcludesRightAndBottomEdges() {
        QtSurface g;
        g.SetFill(colour::kRed);
        g.SetOutline(colour::kWhite);
        g.Rectangle(20, 15, 10, 10); // corners in either order
        QCOMPARE(At(g, 10, 10), QColor(Qt::white)); // outline
        QCOMPARE(At(g, 19, 14), QColor(Qt::white));
        QCOMPARE(At(g, 11, 11), QColor(Qt::red)); // fill
        QCOMPARE(At(g, 18, 13), QColor(Qt::red));
        QCOMPARE(At(g, 20, 12), QColor(Qt::black)); // x2 and y2 excluded
        QCOMPARE(At(g, 15, 15), QColor(Qt::black));
    }

    void lineLeavesOutItsEndPixel() {
        QtSurface g;
        g.SetOutline(colour::kWhite);
        g.Line(5, 5, 15, 5);
        QCOMPARE(At(g, 5, 5), QColor(Qt::white));
        QCOMPARE(At(g, 14, 5), QColor(Qt::white));
        QCOMPARE(At(g, 15, 5), QColor(Qt::black));
    }

    void textIsWhiteOnTheFillColour() {
        QtSurface g;
        g.SetFill(colour::kOrange);
        g.TextOut(100, 100, "88");
        QVERIFY(HasColour(g, QRect(100, 100, 20, 14), Qt::white));
        QVERIFY(HasColour(g, QRect(100, 100, 20, 14), C(colour::kOrange)));
        QCOMPARE(At(g, 99, 100), QColor(Qt::black)); // nothing left of the corner
    }

    void transparentPictureLeavesItsKeyColourOut() {
        QTemporaryDir dir;
        QString path = dir.filePath("p.bmp");
        sample::Picture(path, 10, 10, Qt::green, QColor(0, 0, 255));
        QtSurface g;
        auto pic = g.LoadPicture(path.toStdString(), true);
        g.SetFill(colour::kRed);
        g.SetOutline(colour::kRed);
        g.Rectangle(0, 0, 50, 50);
        g.Draw(10, 10, *pic);
        QCOMPARE(At(g, 10, 10), QColor(Qt::red));       // key colour: not drawn
        QCOMPARE(At(g, 15, 15), QColor(0, 0, 255));     // body
        QVERIFY_THROWS_EXCEPTION(IoError, g.LoadPicture(dir.filePath("none.bmp").toStdString(), false));
    }

    void panelSpeedBarsGaugesAndMeters() {
        Sim s;
        Prepare(s);
        s.v = 10;       // speed bar to 14*10 = 140
        s.vf = 10;
        s.vb = 10;
        s.vbcykel = 20; // requested-speed strip to 14*20 = 280
        s.Bensin = 25;  // fuel gauge top: 200 - 120*25/50 = 140
        s.Broms = 8000; // brake bar top: 200 - 120 = 80
        s.lkarta = 1000;
        s.ltot = 1000;
        s.COg = 20;     // 20e4/1000 = 200 g/mil -> limited to 100
        s.NOxg = 5;     // 5e4/1000 = 50
        s.HCg = 0.994;  // 9940/1000 = 9.94 -> 10
        s.Nsteg = 3;
        QtSurface g;
        DrawPanelTick(s, g);
        QCOMPARE(At(g, 70, 30), C(colour::kMagenta));
        QCOMPARE(At(g, 138, 38), C(colour::kMagenta));
        QCOMPARE(At(g, 139, 30), QColor(Qt::black)); // the bar's black outline
        QCOMPARE(At(g, 145, 30), QColor(Qt::black)); // erased beyond the bar
        QCOMPARE(At(g, 200, 17), C(colour::kMagenta)); // strip drawn to vbcykel
        QCOMPARE(At(g, 278, 17), C(colour::kMagenta));
        QCOMPARE(At(g, 285, 17), QColor(Qt::black));
        QCOMPARE(At(g, 25, 150), C(colour::kLightGreen));
        QCOMPARE(At(g, 25, 135), QColor(Qt::black)); // above the fuel level
        QCOMPARE(At(g, 34, 90), C(colour::kOrange));
        QCOMPARE(At(g, 55, 110), C(colour::kGrey));    // CO bar up to 200-100
        QCOMPARE(At(g, 95, 160), C(colour::kLightBrown)); // NOx bar up to 150
        QCOMPARE(At(g, 95, 140), QColor(Qt::black));
        QCOMPARE(At(g, 135, 195), C(colour::kDarkBrown)); // HC bar up to 190
        QCOMPARE(At(g, 135, 185), QColor(Qt::black));
        // ">100" on grey at (45, 220); the marker's nine pixels at (218, 54).
        QVERIFY(HasColour(g, QRect(45, 220, 30, 14), Qt::white));
        QVERIFY(HasColour(g, QRect(45, 220, 30, 14), C(colour::kGrey)));
        QCOMPARE(FormatFixed1(0.04), std::string("0.0"));
        QCOMPARE(FormatFixed1(1.26), std::string("1.3"));
        QCOMPARE(FormatFixed1(12.34), std::string("12.0"));
        QCOMPARE(FormatFixed1(123.4), std::string("1.2E+2"));
        QCOMPARE(FormatFixed1(-0.5), std::string("-0.5"));
    }

    void emissionAverageRoundsToHundredAndShowsOverHundred() {
        // 99.5 g/mil rounds (halves to even) to 100 and shows ">100"; 99.4 shows 99.
        Sim s;
        Prepare(s);
        s.lkarta = 1000;
        s.COg = 9.95; // 9.95e4/1000 = 99.5 -> 100
        s.NOxg = 9.94; // 99.4 -> 99
        QtSurface g;
        DrawPanelTick(s, g);
        QCOMPARE(At(g, 55, 101), C(colour::kGrey));   // bar 200-100: up to row 100
        QCOMPARE(At(g, 95, 101), QColor(Qt::black));  // NOx bar stops at row 101
        QCOMPARE(At(g, 95, 102), C(colour::kLightBrown));
    }

    void markerBlinksWhiteAndBlack() {
        Sim s;
        Prepare(s);
        s.Mussx = 10;
        s.Mussy = 20;
        QtSurface g;
        g.SetFill(colour::kBlue);
        g.Rectangle(200, 50, 300, 120);
        s.Nsteg = 4;
        DrawPanelTick(s, g);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) QCOMPARE(At(g, 228 + i, 74 + j), QColor(Qt::white));
        QCOMPARE(At(g, 231, 74), C(colour::kBlue)); // only nine pixels
        s.Nsteg = 5;
        DrawPanelTick(s, g);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) QCOMPARE(At(g, 228 + i, 74 + j), QColor(Qt::black));
    }

    void emptyGaugeWhenTankOrBrakeScaleIsZero() {
        Sim s;
        Prepare(s);
        s.Tank = 0;
        s.Fbmax = -1;
        s.Broms = 100;
        QtSurface g;
        DrawPanelTick(s, g); // must not divide by zero or draw a runaway bar
        QCOMPARE(At(g, 25, 150), QColor(Qt::black));
        QCOMPARE(At(g, 34, 150), QColor(Qt::black));
    }

    void roadGeometryOnAStraightRoad() {
        // Kursfel = Sidled = 0: Xfjarr = Xmitt = 0, road corners (30,580), (215,380),
        // (265,315), (415,315), (480,380), (695,580).
        Sim s;
        Prepare(s);
        s.Kursfel = 0;
        s.Sidled = 0;
        s.lkarta = 0;
        s.ltot = 0;
        QtSurface g;
        OncomingPictures none{};
        RoadEvent e = DrawRoadView(s, g, none);
        QCOMPARE(e, RoadEvent::None);
        QCOMPARE(At(g, 100, 450), C(colour::kGrass));
        QCOMPARE(At(g, 250, 450), QColor(Qt::black));
        QCOMPARE(At(g, 700, 450), C(colour::kGrass));
        QCOMPARE(At(g, 300, 300), C(colour::kBlue)); // the sky where the road vanishes
        QCOMPARE(At(g, 270, 320), QColor(Qt::black)); // just inside the far corner
        QCOMPARE(At(g, 260, 320), C(colour::kGrass));
        // Dash k = 2: e = 200, Djup = round((200/67)^3) + 2 = 27 + 2 = 29; corners
        // (335, 339), (335, 351), (343, 351), (343, 339): white inside.
        QCOMPARE(At(g, 339, 345), QColor(Qt::white));
        QCOMPARE(At(g, 430, 560), C(colour::kRed)); // the bonnet
    }

    void ditchWhenTheLeftVergeCoversTheTestPoint() {
        // Sidled 400: Xfjarr = round(800/240) = 3, Xmitt = round(28000/240) = 117; the
        // left verge's edge runs from (430, 580) to (332, 380): at row 500 it is at
        // x = 390.8, so (370, 500) is grass.
        Sim s;
        Prepare(s);
        s.Kursfel = 0;
        s.Sidled = 400;
        QtSurface g;
        OncomingPictures none{};
        QCOMPARE(DrawRoadView(s, g, none), RoadEvent::Ditch);
        QCOMPARE(QString::fromUtf8(RoadEventText(RoadEvent::Ditch)), QString::fromUtf8("Dikeskörning"));
    }

    void collisionWithABluePictureAtATestPoint() {
        // q = round(20*0 + 1575) = 1575: phase 1, e = 775, Djup = round((775/133)^3) =
        // round(197.86) = 198 (MOT4). Sidled 300: Xfjarr = round(198*300/240) = round(247.5)
        // = 248, Motx = 248+300-198-30 = 320, Moty = 498: the picture's blue body (from its
        // third row and column on) covers (370, 500).
        QTemporaryDir dir;
        sample::Picture(dir.filePath("m.bmp"), 60, 40, Qt::green, QColor(0, 0, 255));
        QtSurface g;
        auto pic = g.LoadPicture(dir.filePath("m.bmp").toStdString(), true);
        Sim s;
        Prepare(s);
        s.Kursfel = 0;
        s.Sidled = 300;
        s.ttot = 0;
        s.lkarta = 1575;
        s.Motmode() = 2;
        OncomingPictures mot{pic.get(), pic.get(), pic.get(), pic.get()};
        QCOMPARE(DrawRoadView(s, g, mot), RoadEvent::Collision);
        QCOMPARE(s.Djup, 198);
        QCOMPARE(s.Motx, 320);
        QCOMPARE(s.Moty, 498);
        // Not armed: no vehicle is drawn.
        s.Motmode() = 0;
        QCOMPARE(DrawRoadView(s, g, mot), RoadEvent::None);
    }
};

QTEST_MAIN(SurfaceTest)
#include "surface_test.moc"
