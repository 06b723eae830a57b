#include "config/Ssparkonst.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/numformat.h"
#include "core/paths.h"
#include "core/savefile.h"

namespace tralvik {

std::string FormatConstantNumber(double v) {
    // Plain from 0.0001 up to below 10^15.
    return FormatGeneral15(v, -4);
}

void WriteConstants(Sim& s) {
    std::string out;
    auto line = [&](const std::string& t) { out += t + "\r\n"; };
    auto number = [&](double v) { line(FormatConstantNumber(v)); };
    auto letter = [&](char c) { line(std::string(1, c)); };

    line(s.Ttidd);       // 1
    line(s.Tkarta);      // 2
    line(s.Bilmapp);     // 3
    line(s.Rad4);        // 4
    line(s.Tforb);       // 5
    line(s.Rad6);        // 6
    line(s.Tford);       // 7
    line(s.Tvx);         // 8
    line(s.Rad9);        // 9
    line(s.Mussfil);     // 10
    line(s.Rad11);       // 11
    line(s.Rad12);       // 12
    line(s.Tresultat);   // 13
    line(s.Tresultatp);  // 14
    line(s.Myname);      // 15
    number(s.Imax);      // 16
    number(s.Rad17);     // 17
    number(s.Massa);     // 18
    number(s.Rad19);     // 19
    number(s.Rad20);     // 20
    number(s.Tank);      // 21
    number(s.Rad22);     // 22
    number(s.Rad23);     // 23
    number(s.Fbmax);     // 24
    number(s.Phjalp);    // 25
    number(s.Rad26);     // 26
    number(s.CdA);       // 27
    number(s.Rad28);     // 28
    number(s.Rad29);     // 29
    line("");            // 30
    line("");            // 31
    number(s.Brannv);    // 32
    number(s.Tathet);    // 33
    number(s.Nmax);      // 34
    number(s.Fulltid);   // 35
    number(s.Fullangd);  // 36
    letter(s.Cykeltyp);  // 37
    number(s.Rad38);     // 38
    line(s.Spara);       // 39
    number(s.Rad40);     // 40
    letter(s.Rad41);     // 41
    letter(s.Stopptom);  // 42
    letter(s.Vagkrokar); // 43
    letter(s.Rad44);     // 44
    // 45 to 51 stay empty: a saved file starts a run from the beginning.
    for (int n = 45; n <= 51; ++n) line("");
    number(s.Rad52);                      // 52
    number(s.Rad53);                      // 53
    number(s.Rad54);                      // 54
    letter(s.Motorstyr);                  // 55
    letter(s.Tidsmod);                    // 56
    number(s.Dt);                         // 57
    letter(s.Vaxelmod == 20 ? 'A' : 'M'); // 58

    // Through a temporary file and a rename: a failed save (a full disk)
    // leaves the file it would have replaced as it was.
    WriteFileReplacing(s.Sparfil, out);
}

} // namespace tralvik
