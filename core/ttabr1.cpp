#include "core/ttabr1.h"

#include <algorithm>
#include <string_view>

#include "core/tabread.h"

namespace tralvik {

namespace {

// The report in Windows-1252 (\345 = å, \344 = ä, \366 = ö); it is written in
// code page 850.
[[noreturn]] void Fail(Sim& s, std::string_view file, std::string_view table, double x) {
    Text line1 = "Avbrott p g a att TABR1 inte funnit n\345got inv\344rde i ";
    line1 += file;
    Text line2 = "tabell nr ";
    line2 += table;
    line2 += " som \344r st\366rre \344n ";
    line2 += FormatReportNumber(x);
    AbortTableLookup(s, line1, line2);
}

} // namespace

double TABR1(Sim& s, const Text& file, const Text& table, char mode, double x, int column) {
    const std::string_view fileName(file.data(), std::min(file.size(), kTextMax));
    const std::string_view tableName(table.data(), std::min(table.size(), kTextMax));
    const bool firstTable = tableName == "0";

    TabFile f(file.size() > kTextMax ? Cut250(file) : file);
    auto fail = [&]() { Fail(s, fileName, tableName, x); };

    // The table's header: a word beginning with tab/Tab/TAB anywhere, its
    // name the next word on the line.
    for (;;) {
        if (f.AtLineEnd()) f.ConsumeOne();
        TabWord w = f.ReadWord();
        if (f.Eof()) fail();
        if (!IsTableHeader(w)) continue;
        TabWord name = w;
        if (!f.AtLineEnd()) name = f.ReadWord();
        // When the name ended its line this passes the LF and then the whole
        // next line (the column titles); otherwise the rest of this line.
        f.ConsumeOne();
        f.SkipLine();
        if (f.Eof()) fail();
        if (firstTable || name.View() == tableName) break;
    }

    double X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
    while (X1 <= x) {
        X0 = X1;
        Y0 = Y1;
        for (;;) {
            if (f.AtLineEnd()) f.ConsumeOne();
            TabWord w = f.ReadWord();
            bool converts = ConvertWord(w, X1);
            if (f.Eof()) fail();
            if (converts) break;
        }
        if (column == 0) {
            Y1 = X1;
            Y0 = X0;
            f.SkipLine();
            if (f.Eof()) fail();
        } else {
            for (int count = 1;; ++count) {
                TabWord w = f.ReadWord();
                if (f.Eof()) fail();
                if (count == column) {
                    Y1 = WordValue(w);
                    f.SkipLine();
                    if (f.Eof()) fail();
                    break;
                }
                if (w.endedLine) break; // a short row keeps the previous Y1
            }
        }
    }

    if (X1 == X0) return Y0;
    if (mode == '+') return Y1;
    if (mode == '-') return Y0;
    return Y0 + (Y1 - Y0) * (x - X0) / (X1 - X0);
}

} // namespace tralvik
