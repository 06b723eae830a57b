#include "core/ttabr1.h"

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
void FailTABR1(Sim& s, const Text& file, const Text& table, double x) {
    Text line1 = "Avbrott p g a att TABR1 inte funnit n\345got inv\344rde i ";
    line1 += Cut(file);
    Text line2 = "tabell nr ";
    line2 += Cut(table);
    line2 += " som \344r st\366rre \344n ";
    line2 += FormatReportNumber(x);
    AbortTableLookup(s, line1, line2);
}

double TABR1(Sim& s, const Text& file, const Text& table, char mode, double x, int column) {
    std::optional<double> r = s.Tables().Get(file).Lookup1(Cut(table), mode, x, column);
    if (!r) FailTABR1(s, file, table, x);
    return *r;
}

double ReferenceTABR1(Sim& s, const Text& file, const Text& table, char mode, double x, int column) {
    std::optional<double> r = ScanTABR1(LoadTableBytes(file), Cut(table), mode, x, column);
    if (!r) FailTABR1(s, file, table, x);
    return *r;
}

std::optional<double> ScanTABR1(const std::string& bytes, std::string_view tableName, char mode,
                                double x, int column) {
    const bool firstTable = tableName == "0";
    TabCursor f(bytes);

    // The table's header: a word beginning with tab/Tab/TAB anywhere, its
    // name the next word on the line.
    for (;;) {
        if (f.AtLineEnd()) f.ConsumeOne();
        TabWord w = f.ReadWord();
        if (f.Eof()) return std::nullopt;
        if (!IsTableHeader(w)) continue;
        TabWord name = w;
        if (!f.AtLineEnd()) name = f.ReadWord();
        // When the name ended its line this passes the LF and then the whole
        // next line (the column titles); otherwise the rest of this line.
        f.ConsumeOne();
        f.SkipLine();
        if (f.Eof()) return std::nullopt;
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
            if (f.Eof()) return std::nullopt;
            if (converts) break;
        }
        if (column == 0) {
            Y1 = X1;
            Y0 = X0;
            f.SkipLine();
            if (f.Eof()) return std::nullopt;
        } else {
            for (int count = 1;; ++count) {
                TabWord w = f.ReadWord();
                if (f.Eof()) return std::nullopt;
                if (count == column) {
                    Y1 = WordValue(w);
                    f.SkipLine();
                    if (f.Eof()) return std::nullopt;
                    break;
                }
                if (w.endedLine) break; // a short row keeps the previous Y1
            }
        }
    }

    return Interpolate1(mode, x, X0, Y0, X1, Y1);
}

} // namespace tralvik
