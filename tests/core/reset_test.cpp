#include <gtest/gtest.h>

#include "core/Vvaria.h"

using namespace tralvik;

TEST(ResetState, SetsTheResetValuesAndLeavesTheRest) {
    Sim s;
    s.Tank = 40;
    s.Vaxel = 7;
    s.Aktrad = CycleRow{5, 6, 7, 8, 9, 10};
    s.Cykelfil = "karta.cyk";
    s.Omstart = true;
    s.Sn8 = 42;
    s.Sn18 = "kept";
    s.Massa = 1300;
    s.Tab15[0] = 2;
    s.Tab13[100] = 9;
    ResetState(s);

    EXPECT_EQ(s.ltot, -1);
    EXPECT_EQ(s.lkarta, -1);
    EXPECT_EQ(s.Dt, 1);
    EXPECT_EQ(s.Vaxelmod, 20);
    EXPECT_EQ(s.Bensin, 40); // Tank at the moment of the reset
    EXPECT_EQ(s.Startmark, 'S');
    EXPECT_EQ(s.Tangent, ' ');
    EXPECT_EQ(s.Imaxflagga, '0');
    EXPECT_EQ(s.U, 120);
    EXPECT_EQ(s.Vmfakt, 1);
    EXPECT_EQ(s.Xnasta, 0.01);
    EXPECT_EQ(s.Nastarad.v, 1);
    EXPECT_EQ(s.Dtrad, 1);
    EXPECT_EQ(s.Dtcykel, 1);
    EXPECT_EQ(s.Kacc, 1);
    EXPECT_EQ(s.Kbroms, 1);
    EXPECT_EQ(s.Kursfel, 1);
    EXPECT_EQ(s.Nmax, 7000);
    EXPECT_EQ(s.Brannv, 8.74);
    EXPECT_EQ(s.Tathet, 0.75);
    EXPECT_EQ(s.Rad41, 'J');
    EXPECT_EQ(s.Rad49, 0.01);
    EXPECT_EQ(s.Spara, "0111");
    EXPECT_EQ(s.Stopptom, 'N');
    EXPECT_EQ(s.Vagkrokar, 'N');
    EXPECT_EQ(s.Sn47, '0');
    EXPECT_EQ(s.Sn54, 50);
    EXPECT_EQ(s.Sn118, 120);
    EXPECT_EQ(s.Sn204, 120);
    EXPECT_EQ(s.Slinga, 101);
    EXPECT_EQ(s.Tab15[0], 0);
    EXPECT_EQ(s.Tab13[100], 0);

    // Left untouched.
    EXPECT_EQ(s.Vaxel, 7);
    EXPECT_EQ(s.Aktrad.Mod, 8);
    EXPECT_EQ(s.Cykelfil, "karta.cyk");
    EXPECT_TRUE(s.Omstart);
    EXPECT_EQ(s.Sn8, 42);
    EXPECT_EQ(s.Sn18, "kept");
    EXPECT_EQ(s.Massa, 1300);
}

TEST(ResetState, BensinIsZeroBeforeTheFirstConstantsRead) {
    Sim s;
    ResetState(s);
    EXPECT_EQ(s.Bensin, 0);
}

TEST(ResetState, TwoSimulationsDoNotShareState) {
    Sim a, b;
    ResetState(a);
    ResetState(b);
    a.ttot = 12;
    a.Massa = 900;
    EXPECT_EQ(b.ttot, 0);
    EXPECT_EQ(b.Massa, 0);
}
