// Test help: every variable of the snapshot, named with its line number as
// the file's layout gives it. `Op` either gives each variable a value made
// from its line number (and records the line's expected text) or checks that
// a state holds those values.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Vvaria.h"

namespace tralvik::testing {

// Values by line number n:
//   text     "T<n>" (Spara "1010")
//   char     the byte n % 90 + 33 (all 19 character lines differ)
//   real     n + 0.125, written "<n>.125"
//   int32    n * 100001, negative on odd lines
//   int16    -300 * n
//   int8     n % 256
//   flag     true, written "1"; Omstart the byte 1
inline Text TextValue(int n) {
    return "T" + std::to_string(n);
}
inline char CharValue(int n) {
    return static_cast<char>(n % 90 + 33);
}
inline double RealValue(int n) {
    return n + 0.125;
}
inline int32_t IntValue(int n) {
    return (n % 2 ? -1 : 1) * n * 100001;
}

template <class Op> void EveryVariable(Sim& s, Op& op) {
    op.T(s.Titel, 1);
    op.T(s.Bilmodell, 2);
    op.T(s.Progmapp, 3);
    op.C(s.Smark, 4);
    op.I(s.Slinga, 5);
    op.R(s.Sn6, 6);
    op.I(s.Sn7, 7);
    op.I(s.Sn8, 8);
    op.I(s.Sn9, 9);
    op.I(s.Sn10, 10);
    op.I(s.Sn11, 11);
    op.I(s.Sn12, 12);
    op.I(s.Sn13, 13);
    op.R(s.Energi, 14);
    op.R(s.HCeng, 15);
    op.R(s.Sn16, 16);
    op.R(s.Sn17, 17);
    op.T(s.Sn18, 18);
    op.T(s.Sn19, 19);
    op.C(s.Startmark, 20);
    op.R(s.Rad38, 21);
    op.Spara(s.Spara, 22);
    op.I(s.Nsteg, 23);
    op.R(s.el.soc, 24);
    op.R(s.Vmfakt, 25);
    op.T(s.Myname, 26);
    op.C(s.Rad44, 27);
    op.F(s.Uppdat, 28);
    op.R(s.tcykel, 29);
    op.R(s.Sn30, 30);
    op.R(s.tmark, 31);
    op.R(s.ttot, 32);
    op.R(s.Tvanta, 33);
    op.R(s.Dt, 34);
    op.R(s.Klocka, 35);
    op.R(s.Klockaf, 36);
    op.Omstart(s.Omstart, 37);
    op.R(s.lkarta, 38);
    op.R(s.Sn39, 39);
    op.R(s.lmark, 40);
    op.R(s.ltot, 41);
    op.R(s.ltotf, 42);
    op.R(s.Hojd, 43);
    op.R(s.Rad49, 44);
    op.R(s.Sn45, 45);
    op.C(s.Imaxflagga, 46);
    op.C(s.Sn47, 47);
    op.R(s.Rad53, 48);
    op.R(s.Rad54, 49);
    op.R(s.engineTemp, 50);
    op.R(s.catalystTemp, 51);
    op.R(s.COeng, 52);
    op.R(s.NOxeng, 53);
    op.R(s.Sn54, 54);
    op.R(s.Omvandlare, 55);
    op.I(s.Mod, 56);
    op.I(s.Modf, 57);
    op.I(s.Sn58, 58);
    op.C(s.Motorstyr, 59);
    op.C(s.Lutnmod, 60);
    op.C(s.Tidsmod, 61);
    op.C(s.Reservmod, 62);
    op.C(s.Cykeltyp, 63);
    op.C(s.Sn64, 64);
    op.I(s.Kacc, 65);
    op.I(s.Kbroms, 66);
    op.I16(s.Sn67, 67);
    op.C(s.Fextramod, 68);
    op.R(s.Sn69, 69);
    for (int k = 0; k < 8; ++k) op.I(s.Sn70_77[k], 70 + k);
    op.R(s.Medelforbr, 78);
    op.I(s.Sn79, 79);
    op.R(s.Sn80, 80);
    op.T(s.Konsfil, 81);
    op.T(s.Bilmapp, 82);
    op.T(s.Mussfil, 83);
    op.T(s.Ttidd, 84);
    op.T(s.Tkarta, 85);
    op.T(s.Rad4, 86);
    op.T(s.Tforb, 87);
    op.T(s.Rad6, 88);
    op.T(s.Tford, 89);
    op.T(s.Rad11, 90);
    op.T(s.Rad9, 91);
    op.T(s.Tvx, 92);
    op.T(s.Tresultat, 93);
    op.T(s.Tresultatp, 94);
    op.C(s.Resstat, 95);
    op.C(s.Resstatp, 96);
    op.T(s.Sn97, 97);
    op.T(s.Sparfil, 98);
    op.R(s.Imax, 99);
    op.R(s.Rad17, 100);
    op.R(s.Nmax, 101);
    op.R(s.Imaxakt, 102);
    op.R(s.Massa, 103);
    op.R(s.Massatab, 104);
    op.R(s.CdA, 105);
    op.R(s.Katalysator, 106);
    op.R(s.Stoppstart, 107);
    op.R(s.Tank, 108);
    op.R(s.Sparfoljning, 109);
    op.R(s.Uppehall, 110);
    op.R(s.Rad29, 111);
    op.R(s.Fulltid, 112);
    op.R(s.Fullangd, 113);
    op.R(s.Fbmax, 114);
    op.R(s.Fextra, 115);
    op.R(s.CdAtab, 116);
    op.R(s.Rad40, 117);
    op.R(s.Sn118, 118);
    op.R(s.Sn119, 119);
    op.R(s.Stegtid, 120);
    op.R(s.Tsteg, 121);
    op.R(s.Xstart, 122);
    op.R(s.vbmal, 123);
    op.R(s.Lutncykel, 124);
    op.R(s.Modcykel, 125);
    op.R(s.Dtcykel, 126);
    op.R(s.Kurvf, 127);
    op.R(s.Xrad, 128);
    op.R(s.vbrad, 129);
    op.R(s.Lutnrad, 130);
    op.R(s.Modrad, 131);
    op.R(s.Dtrad, 132);
    op.R(s.Kurvrad, 133);
    op.R(s.Xnasta, 134);
    op.R(s.Nastarad.X, 135);
    op.R(s.Nastarad.v, 136);
    op.R(s.Nastarad.Lutn, 137);
    op.R(s.Nastarad.Mod, 138);
    op.R(s.Nastarad.Dt, 139);
    op.R(s.Nastarad.Kurv, 140);
    op.R(s.Aktrad.X, 141);
    op.R(s.Aktrad.v, 142);
    op.R(s.Aktrad.Lutn, 143);
    op.R(s.Aktrad.Mod, 144);
    op.R(s.Aktrad.Dt, 145);
    op.R(s.Aktrad.Kurv, 146);
    op.Cykelfil(s.Cykelfil, 147);
    op.B(s.Delmat, 148);
    op.B(s.Sn149, 149);
    op.R(s.Lutn, 150);
    op.R(s.Sn151, 151);
    op.R(s.Iic, 152);
    op.R(s.Sn153, 153);
    op.R(s.U, 154);
    op.R(s.Sn155, 155);
    op.R(s.nelmin, 156);
    op.R(s.Mhjul, 157);
    op.R(s.Sn158, 158);
    op.R(s.Sn159, 159);
    for (int k = 0; k < 4; ++k) op.R(s.Sn160_163[k], 160 + k);
    op.R(s.nic, 164);
    op.R(s.mic, 165);
    op.R(s.Kvot, 166);
    op.R(s.Ppic, 167);
    op.R(s.Mmax, 168);
    op.I(s.Nmemo, 169);
    op.I(s.Mmemo, 170);
    op.I(s.Sn171, 171);
    op.I(s.Effmemo, 172);
    op.I(s.COmemo, 173);
    op.I(s.NOxmemo, 174);
    op.I(s.HCmemo, 175);
    op.R(s.Momskala, 176);
    op.R(s.Idrag, 177);
    for (int k = 0; k < 3; ++k) op.R(s.Sn178_180[k], 178 + k);
    op.R(s.nel, 181);
    op.R(s.mel, 182);
    op.R(s.Sn183, 183);
    op.R(s.Pdrag, 184);
    op.R(s.Starttemp, 185);
    for (int k = 0; k < 7; ++k) op.R(s.Sn186_192[k], 186 + k);
    op.R(s.Phjalp, 193);
    op.R(s.Ireg, 194);
    for (int k = 0; k < 5; ++k) op.R(s.Sn195_199[k], 195 + k);
    op.R(s.Iaba, 200);
    for (int k = 0; k < 3; ++k) op.R(s.Sn201_203[k], 201 + k);
    op.R(s.Sn204, 204);
    for (int k = 0; k < 4; ++k) op.R(s.Sn205_208[k], 205 + k);
    op.R(s.Ila, 209);
    for (int k = 0; k < 6; ++k) op.R(s.Sn210_215[k], 210 + k);
    op.R(s.Bensin, 216);
    op.R(s.Bflode, 217);
    op.R(s.ICvgr, 218);
    op.C(s.Stopptom, 219);
    op.R(s.Brannv, 220);
    op.R(s.Tathet, 221);
    op.R(s.vb, 222);
    op.R(s.vbcykel, 223);
    op.R(s.vbspar, 224);
    op.R(s.v, 225);
    op.R(s.vf, 226);
    op.R(s.Sn227, 227);
    op.R(s.Fmotst, 228);
    op.R(s.Sn229, 229);
    op.R(s.Broms, 230);
    op.R(s.Sn231, 231);
    op.R(s.Sn232, 232);
    op.R(s.COg, 233);
    op.R(s.NOxg, 234);
    op.R(s.HCg, 235);
    op.R(s.COgf, 236);
    op.R(s.NOxgf, 237);
    op.R(s.HCgf, 238);
    op.R(s.COdel, 239);
    op.R(s.NOxdel, 240);
    op.R(s.HCdel, 241);
    op.B(s.Vaxel, 242);
    for (int i = 1; i <= 10; ++i) op.R(s.Vxupp[i], 242 + i);
    for (int i = 1; i <= 10; ++i) op.R(s.Vxned[i], 252 + i);
    for (int i = 1; i <= 10; ++i) op.R(s.Vxeta1[i], 262 + i);
    for (int i = 1; i <= 10; ++i) op.R(s.Vxkvot[i], 272 + i);
    for (int i = 1; i <= 10; ++i) op.R(s.Vxeta2[i], 282 + i);
    op.I(s.Vaxelmod, 293);
    op.T(s.Bildnr, 294);
    op.T(s.Sn295, 295);
    op.I(s.Mussx, 296);
    op.I(s.Mussy, 297);
    op.R(s.Mommax, 298);
    op.C(s.Tangent, 299);
    op.C(s.Rad41, 300);
    op.I(s.Vagrikt, 301);
    op.I(s.Sidled, 302);
    op.I(s.Ratt, 303);
    op.R(s.Vagriktf, 304);
    op.C(s.Vagkrokar, 305);
    op.I(s.Kursfel, 306);
    op.I(s.Motx, 307);
    op.I(s.Moty, 308);
    op.I(s.Djup, 309);
    op.I(s.Xfjarr, 310);
    op.I(s.Xmitt, 311);
    op.I(s.Bildtid, 312);
    op.T(s.Sn313, 313);
    op.T(s.Bildnamn, 314);
    for (int i = 1; i <= 128; ++i) op.B(s.Bytetab[i], 314 + i);
    op.B(s.Sn443, 443);
    op.B(s.Sn444, 444);
    for (int k = 0; k < 5; ++k) op.I(s.Sn445_449[k], 445 + k);
    op.I(s.Sn450, 450);
    for (int i = 1; i <= 100; ++i) op.I(s.Tab10[i], 450 + i);
    for (int i = 1; i <= 100; ++i) op.I(s.Tab11[i], 550 + i);
    for (int i = 1; i <= 100; ++i) op.I(s.Tab12[i], 650 + i);
    for (int i = 1; i <= 100; ++i) op.I(s.Tab13[i], 750 + i);
    for (int i = 1; i <= 100; ++i) op.I(s.Tab14[i], 850 + i);
    for (int i = 1; i <= 100; ++i) op.I(s.Tab15[i], 950 + i);
}

// Gives every variable its value; `lines[n]` is line n's expected text and
// `kinds` counts the lines of each kind.
struct Fill {
    std::vector<std::string> lines = std::vector<std::string>(1051);
    int text = 0, character = 0, real = 0, integer = 0;
    int twice = 0; // a line number used twice

    void Put(int n, const std::string& t) {
        if (!lines[n].empty()) ++twice;
        lines[n] = t;
    }
    void T(Text& f, int n) {
        f = TextValue(n);
        Put(n, f);
        ++text;
    }
    void Spara(Text& f, int n) {
        f = "1010";
        Put(n, f);
        ++text;
    }
    void Cykelfil(Text& f, int n) { T(f, n); }
    void C(char& f, int n) {
        f = CharValue(n);
        Put(n, std::string(1, f));
        ++character;
    }
    void Omstart(bool& f, int n) {
        f = true;
        Put(n, std::string(1, '\1'));
        ++character;
    }
    void R(double& f, int n) {
        f = RealValue(n);
        Put(n, std::to_string(n) + ".125");
        ++real;
    }
    void I(int32_t& f, int n) {
        f = IntValue(n);
        Put(n, std::to_string(f));
        ++integer;
    }
    void I16(int16_t& f, int n) {
        f = static_cast<int16_t>(-300 * n);
        Put(n, std::to_string(f));
        ++integer;
    }
    void B(uint8_t& f, int n) {
        f = static_cast<uint8_t>(n % 256);
        Put(n, std::to_string(n % 256));
        ++integer;
    }
    void F(bool& f, int n) {
        f = true;
        Put(n, "1");
        ++integer;
    }
};

// Checks that every variable holds the value Fill gives it, except Omstart
// and Cykelfil, which a load must leave as they were (`omstart`, `cykelfil`).
struct Check {
    bool omstart = false;
    Text cykelfil;
    Text sparfil = TextValue(98); // line 98: the tests save under a real name

    void T(Text& f, int n) { EXPECT_EQ(f, n == 98 ? sparfil : TextValue(n)) << "line " << n; }
    void Spara(Text& f, int n) { EXPECT_EQ(f, "1010") << "line " << n; }
    void Cykelfil(Text& f, int n) { EXPECT_EQ(f, cykelfil) << "line " << n; }
    void C(char& f, int n) { EXPECT_EQ(f, CharValue(n)) << "line " << n; }
    void Omstart(bool& f, int n) { EXPECT_EQ(f, omstart) << "line " << n; }
    void R(double& f, int n) { EXPECT_EQ(f, RealValue(n)) << "line " << n; }
    void I(int32_t& f, int n) { EXPECT_EQ(f, IntValue(n)) << "line " << n; }
    void I16(int16_t& f, int n) { EXPECT_EQ(f, -300 * n) << "line " << n; }
    void B(uint8_t& f, int n) { EXPECT_EQ(f, n % 256) << "line " << n; }
    void F(bool& f, int n) { EXPECT_TRUE(f) << "line " << n; }
};

// The file's lines split at CR LF, without the line ends. Fails the test when
// a line ends otherwise or the file does not end with CR LF.
inline std::vector<std::string> CrLfLines(const std::string& bytes) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos) {
            ADD_FAILURE() << "last line without CR LF";
            out.push_back(bytes.substr(pos));
            break;
        }
        out.push_back(bytes.substr(pos, end - pos));
        pos = end + 2;
    }
    return out;
}

} // namespace tralvik::testing
