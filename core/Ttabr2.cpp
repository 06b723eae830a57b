#include "core/Ttabr2.h"

#include <algorithm>

#include "core/tabread.h"
#include "core/tabstore.h"

namespace tralvik {

namespace {

std::string_view Cut(const Text& t) {
    return std::string_view(t.data(), std::min(t.size(), kTextMax));
}

} // namespace

// The report in Windows-1252 (\345 = å, \344 = ä, \366 = ö); it is written in
// code page 850.
void FailTABR2(Sim& s, const Text& file, const Text& table, double colin, double rowin) {
    Text line1 = "Avbrott p g a att TABR2 inte funnit n\345got inv\344rdepar i ";
    line1 += Cut(file);
    Text line2 = "tabell nr ";
    line2 += Cut(table);
    line2 += " som \344r st\366rre \344n ";
    line2 += FormatReportNumber(colin);
    line2 += " / ";
    line2 += FormatReportNumber(rowin);
    AbortTableLookup(s, line1, line2);
}

double TABR2(Sim& s, const Text& file, const Text& table, char colmode, double colin, double rowin,
             char rowmode) {
    std::optional<double> r =
        s.Tables().Get(file).Lookup2(Cut(table), colmode, colin, rowin, rowmode);
    if (!r) FailTABR2(s, file, table, colin, rowin);
    return *r;
}

double ReferenceTABR2(Sim& s, const Text& file, const Text& table, char colmode, double colin,
                      double rowin, char rowmode) {
    std::optional<double> r =
        ScanTABR2(LoadTableBytes(file), Cut(table), colmode, colin, rowin, rowmode);
    if (!r) FailTABR2(s, file, table, colin, rowin);
    return *r;
}

std::optional<double> ScanTABR2(const std::string& bytes, std::string_view tableName, char colmode,
                                double colin, double rowin, char rowmode) {
    const bool firstTable = tableName == "0";
    TabCursor f(bytes);

    // An empty file holds no table: report it like any other missing table
    // rather than answering 0.
    if (f.Eof()) return std::nullopt;

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
        if (f.Eof()) return std::nullopt;
        // A pass that found no word at all (the line ended first) moves on to
        // the next line; otherwise table "0" would read the same line end
        // forever.
        if (first.n > 0 && (firstTable || next.View() == tableName)) continue;
        haveFirst = false;
        f.SkipLine();
        if (f.Eof()) return std::nullopt;
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
            if (f.Eof()) return std::nullopt;
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
            if (f.Eof()) return std::nullopt;
            if (converts) break;
        }
        for (int count = 1;; ++count) {
            TabWord w = f.ReadWord();
            if (f.Eof()) return std::nullopt;
            if (count == i - 1) Z10 = WordValue(w);
            bool rowEnds = false;
            if (count == i) {
                Z11 = WordValue(w);
                f.SkipLine();
                if (f.Eof()) return std::nullopt;
                rowEnds = true;
            } else if (w.endedLine) {
                rowEnds = true;
            }
            if (count > kMaxTableColumns) {
                stopped = true;
                rowEnds = true;
            }
            if (rowEnds) break;
        }
    }

    return Interpolate2(colmode, colin, X0, X1, rowmode, rowin, Y0, Y1, Z00, Z01, Z10, Z11);
}

} // namespace tralvik
