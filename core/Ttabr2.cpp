#include "core/Ttabr2.h"

#include <algorithm>
#include <string_view>

#include "core/tabread.h"

namespace tralvik {

namespace {

// Only 30 columns of a row are read.
constexpr int kMaxColumns = 30;

// The report in Windows-1252 (\345 = å, \344 = ä, \366 = ö); it is written in
// code page 850.
[[noreturn]] void Fail(Sim& s, std::string_view file, std::string_view table, double colin,
                       double rowin) {
    Text line1 = "Avbrott p g a att TABR2 inte funnit n\345got inv\344rdepar i ";
    line1 += file;
    Text line2 = "tabell nr ";
    line2 += table;
    line2 += " som \344r st\366rre \344n ";
    line2 += FormatReportNumber(colin);
    line2 += " / ";
    line2 += FormatReportNumber(rowin);
    AbortTableLookup(s, line1, line2);
}

} // namespace

double TABR2(Sim& s, const Text& file, const Text& table, char colmode, double colin, double rowin,
             char rowmode) {
    const std::string_view fileName(file.data(), std::min(file.size(), kTextMax));
    const std::string_view tableName(table.data(), std::min(table.size(), kTextMax));
    const bool firstTable = tableName == "0";

    TabFile f(file.size() > kTextMax ? Cut250(file) : file);
    auto fail = [&]() { Fail(s, fileName, tableName, colin, rowin); };

    // An empty file holds no table: report it like any other missing table
    // rather than answering 0.
    if (f.Eof()) fail();

    // The header: a line's first word beginning with tab/Tab/TAB, followed by
    // the name. Each pass reads a word and the next one; when the next one is
    // the name the following pass looks at the first word, otherwise the rest
    // of the line is skipped.
    bool haveFirst = false;
    TabWord first;
    for (;;) {
        if (f.Eof()) break;
        if (haveFirst && IsTableHeader(first)) break;
        first = f.ReadWord();
        haveFirst = true;
        TabWord next; // stays empty when the line ends after the first word
        if (!f.AtLineEnd()) next = f.ReadWord();
        if (f.Eof()) fail();
        // A pass that found no word at all (the line ended first) moves on to
        // the next line; otherwise table "0" would read the same line end
        // forever.
        if (first.n > 0 && (firstTable || next.View() == tableName)) continue;
        haveFirst = false;
        f.SkipLine();
        if (f.Eof()) fail();
    }

    // Column inputs: X0 and X1 are columns i-1 and i (column 0 counts as 0).
    double X0 = 0, X1 = 0;
    int i = 0;
    while (X1 < colin && !f.AtLineEnd()) {
        X0 = X1;
        ++i;
        for (;;) {
            if (f.AtLineEnd()) f.SkipLine();
            TabWord w = f.ReadWord();
            bool converts = ConvertWord(w, X1);
            if (f.Eof()) fail();
            if (converts) break;
        }
    }

    // Rows: Y0 and Y1 with their values in columns i-1 (Z00, Z10) and i
    // (Z01, Z11).
    double Y0 = 0, Y1 = 0;
    double Z00 = 0, Z01 = 0, Z10 = 0, Z11 = 0;
    bool stopped = false;
    while (Y1 <= rowin && !stopped && !f.Eof()) {
        Y0 = Y1;
        Z00 = Z10;
        Z01 = Z11;
        for (;;) {
            // Also passes over the line that follows a complete row.
            f.SkipLine();
            TabWord w = f.ReadWord();
            bool converts = ConvertWord(w, Y1);
            if (f.Eof()) fail();
            if (converts) break;
        }
        for (int count = 1;; ++count) {
            TabWord w = f.ReadWord();
            if (f.Eof()) fail();
            if (count == i - 1) Z10 = WordValue(w);
            bool rowEnds = false;
            if (count == i) {
                Z11 = WordValue(w);
                f.SkipLine();
                if (f.Eof()) fail();
                rowEnds = true;
            } else if (w.endedLine) {
                rowEnds = true;
            }
            if (count > kMaxColumns) {
                stopped = true;
                rowEnds = true;
            }
            if (rowEnds) break;
        }
    }

    double A0, A1;
    if (X1 == X0) {
        A0 = Z00;
        A1 = Z10;
    } else if (colmode == '+') {
        A0 = Z01;
        A1 = Z11;
    } else if (colmode == '-') {
        A0 = Z00;
        A1 = Z10;
    } else {
        A0 = Z00 + (Z01 - Z00) * (colin - X0) / (X1 - X0);
        A1 = Z10 + (Z11 - Z10) * (colin - X0) / (X1 - X0);
    }

    if (Y1 == Y0) return A0;
    if (rowmode == '+') return A1;
    if (rowmode == '-') return A0;
    return A0 + (A1 - A0) * (rowin - Y0) / (Y1 - Y0);
}

} // namespace tralvik
