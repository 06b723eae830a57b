#include "config/Panels.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/Ffetch.h"
#include "config/Startup.h"
#include "core/Ccykel.h"
#include "core/paths.h"
#include "station/Mmussla.h"
#include "station/Panel.h"

namespace tralvik {

namespace {

using Rows = std::vector<std::string>;

const char* const kCloseBoth = "Dessa rutor försvinner om du klickar på denna ruta.";
const char* const kFromFile = "Dessa värden hämtas från filen CONS.VAL och kan ";
const char* const kPermanent = "permanent ändras genom att  ändra i denna fil.";
const char* const kEditable = "Denna ruta kan du ändra i.";

Rows FileNameLabels() {
    return {
        "       ANVÄNDA FILER  (exkl vindrutebilder)",
        kCloseBoth,
        "Tidcykel från tabell                Ttidd",
        "Karta från tabell                     Tkarta",
        "    (Bilmapp)",
        "    (Ej använd rad)",
        "Förbränningsmotor enl          Tforb",
        "    (Ej använd rad)",
        "Fordon enl tabell                     Tford",
        "Växel                                          Tvx",
        "   (Ej använd rad)",
        "Musseldiagram                      Mussfil",
        "  (Ej använd rad)",
        "  (Ej använd rad)",
        "Resultatfil                                 Tresultat",
        "Kompletterande resultatfil    Tresultatp",
        "Jag heter                                  Myname",
        std::string(12, ' '),
        "Dessa filnamn hämtas från filen CONS.VAL och kan ",
        kPermanent,
        std::string(13, ' '),
    };
}

Rows CarFolderLabels() {
    return {
        "   Dessa rutor försvinner om du klickar på denna ruta",
        "              Den andra rutan kan du ändra",
        std::string(54, ' ') + "Bilen finns i mappen:",
        "",
        "Detta mappnamn hämtas från filen CONS.VAL och  ",
        "kan ",
        kPermanent,
        " ",
    };
}

Rows VehicleLabels() {
    const char* unused = "    (Ej använd rad)";
    return {
        "                         BILKONSTANTER",
        kCloseBoth,
        "Max motoreffekt i kW",
        unused,
        "Fordonsmassa i kg (-1 =enl fordonstabell)",
        unused,
        unused,
        "Bensintank i liter",
        unused,
        unused,
        "Max bromskraft i N",
        "Hjälpapparateffekt i W",
        unused,
        "CdA  Luftmotstkoef (-1 =enl fordonstabell)",
        unused,
        unused,
        "Bränslets brännvärde i kWh/l",
        "Bränslets täthet i kg/l",
        "Max varvtal i rpm",
        "",
        kFromFile,
        kPermanent,
        " ",
    };
}

Rows ProgramLabels() {
    const char* unused = "     (Ej använd rad)";
    return {
        "            PROGRAMKONSTANTER",
        kCloseBoth,
        "Fulltid i sekunder",
        "Fullängd i m",
        "Cykeltyp  (Tid eller Karta)",
        unused,
        "Spara",
        unused,
        unused,
        unused,
        unused,
        "Stopp vid tom tank  J/N",
        "Vägkrökar  J/N",
        "",
        kFromFile,
        kPermanent,
        " ",
    };
}

Rows ModeLabels() {
    return {
        "             MODER",
        kCloseBoth,
        "Motorstyrning  M = Mus",
        "Tidsmod   R=Realtid  D=(Dt)  SPACE=Körcykel",
        "Tidsinkrement(Dt);",
        "Växel  A=Automatlåda M=Manuell",
        "",
        "",
        "",
        kFromFile,
        kPermanent,
        "  ",
    };
}

Rows NotYetRows() {
    return {
        "              Denna ruta försvinner om du klickar på den.",
        "",
        "Funktionen ännu ej inlagd.",
    };
}

Rows ManualRows() {
    return {
        "                BRUKSANVISNING",
        "Denna ruta försvinner om du klickar på den",
        "",
        "Om du inte gör något kör bilen själv efter en körcykel, från början",
        "kartan i filen KARTA.CYK. Med \"Vägkrökar\" satt till N är vägen",
        "rak; med J kommer vägens kurvor från körcykeln, och då måste du styra",
        "genom dem för att inte hamna i diket.",
        "",
        "Du kör med det numeriska tangentbordet (NumLock på):",
        "   4 = sväng vänster",
        "   6 = sväng höger",
        "   8 = ökat gaspådrag",
        "   2 = minskat gaspådrag",
        "   0 = broms",
        "   5 = frigör broms",
        "Med 2 eller 8 tar du över gasen från körcykeln; först då fungerar 0 och 5.",
        "Mellanslag (SPACE) lämnar tillbaka styrningen till körcykeln.",
        "P och p ger mindre gassteg, med konstant vridmoment.",
        "< och > kopplar in farthållaren och sänker respektive höjer den önskade",
        "hastigheten; den visas av den tunna stapeln överst på hastighetsmätaren.",
        "7 och 9 svänger mer, 1 och 3 mindre än 4 och 6.",
        "M och m ger styrning med musen: pekaren högt upp = gas, längre ner = broms,",
        "och i sidled styr den bilen när vägkrökarna är på.",
        "C och c kopplar ur och stänger av motorn.",
        "G och g växlar upp respektive ner för hand; A och a återgår till automatlåda.",
        "L och l höjer respektive sänker vägens lutning.",
        "Q och q sätter \"Fulltid\" till den aktuella tiden och avslutar därmed körningen.",
        "",
        "Vad visar skärmen?",
        "===============",
        "Överst står titelraden: namnet efter versionen kommer från \"Jag heter\",",
        "bilmodellen är namnet på bilens mapp, sedan följer upphovsmannens namn",
        "och adress.",
        "Raden under den visar accelerationen i m/s2, växeln, Dt för det senaste",
        "steget, modbokstäverna med sin förklaring och körtiden.",
        "Därunder finns hastighetsmätaren.",
        "Raden under hastighetsmätaren visar körd sträcka i km, höjden över",
        "starten i m, samt medelförbrukning och förbrukning i det senaste steget",
        "i cl/mil.",
        "Siffran över musseldiagrammet är motorns största vridmoment, hämtat",
        "från motortabellen.",
        "Lutningen visas med siffra och med lutningsmätaren.",
        "Den gröna mätaren visar bränslet; siffran är antal liter kvar.",
        "Den grå mätaren visar CO, den ljusbruna NOx och den mörkbruna HC, som",
        "medelvärden över körningen i g/mil; siffrorna visas under 100 g/mil.",
        "Till höger om musseldiagrammet står CO, NOx och HC i g/mil och",
        "verkningsgraden i % för det senaste steget.",
        "",
        "Vad betyder siffrorna i körcykelfilen?",
        "=============================",
        "Varje rad har sex tal:",
        "1. Tid i s (tidcykel) eller sträcka i m (karta).",
        "2. Önskad hastighet i m/s. Varning: en bil som stannar i en karta når",
        "   aldrig nästa rad; en krypfunktion håller därför hastigheten över noll.",
        "3. Lutning i %, negativ i nedförsbacke.",
        "4. Mod (se nedan).",
        "5. Tidsinkrement i s; -1 = realtid.",
        "6. Vägkrökar: koder 1000 till 10000, där tusentalssiffran är skärpan",
        "   och resten längden i m.",
        "",
        "Använda moder:",
        "   3 = urkopplad och motorn avstängd",
        "  20 = växla mellan tidcykel och karta",
        " 100 = programmets slut",
        " 101 till 110 = manuell växel, de två sista siffrorna är växelns nummer",
        " 120 = automatlåda",
        "",
        "Filerna: konstanterna hämtas från CONS.VAL (meny Hämta - Konstanter) och",
        "kan ändras under menyn Konstanter och Bilmapp; de sparas med Spara -",
        "Spara konstanter som. Bilens tabeller och musseldiagram finns i bilens mapp.",
    };
}

// A value row from the state's text; an empty one cannot be told from a
// missing row, which is what the panel wants.
const Text& Row(const std::vector<Text>& rows, std::size_t n) {
    static const Text kEmpty;
    return n < rows.size() ? rows[n] : kEmpty;
}

char FirstOrBlank(const Text& row) {
    return row.empty() ? ' ' : row[0];
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The modes panel's letters: the first character, or the second when the
// first is a blank (a leading blank is easy to leave in the box).
char ModeLetter(const Text& row) {
    if (row.empty()) return ' ';
    char c = Upper(row[0]);
    if (c == ' ' && row.size() > 1) c = Upper(row[1]);
    return c;
}

double Number(const Text& row) {
    double v;
    ParseNumber(row, v);
    return v;
}

double CommaNumber(const Text& row) {
    return Number(CommaToPoint(row));
}

Text Letter(char c) {
    return c == 0 ? Text() : Text(1, c);
}

// Set while a panel re-applies the constants file; clear again however the
// apply ends.
struct UppdatGuard {
    Sim& s;
    ~UppdatGuard() { s.Uppdat = false; }
};

void ReapplyConstants(Sim& s) {
    s.Uppdat = true;
    ReadConstants(s);
    MarkerStage(s); // recomputes the torque axis while Uppdat is set
}

// Closing a constant panel after a run's first ticks repaints and restarts
// the run, also when it had been paused before the panel was opened.
void RestartIfRunning(Sim& s, Station& st) {
    if (s.Nsteg > 2) {
        PanelSetup(s, st);
        st.platform.SetTimer(true);
    }
}

void ApplyFileNames(Sim& s, Station& st, const std::vector<Text>& r,
                    const std::function<void()>& hide) {
    s.Ttidd = Cut250(Row(r, 2));
    s.Tkarta = Cut250(Row(r, 3));
    s.Tforb = Cut250(Row(r, 6));
    s.Tford = Cut250(Row(r, 8));
    s.Tvx = Cut250(Row(r, 9));
    s.Mussfil = Cut250(Row(r, 11));
    s.Tresultat = Cut250(Row(r, 14));
    s.Tresultatp = Cut250(Row(r, 15));
    s.Myname = Cut250(Row(r, 16));
    st.platform.SetTitle(TitleForm3(s));
    UppdatGuard guard{s};
    ReapplyConstants(s);
    hide();
    RestartIfRunning(s, st);
}

void ApplyCarFolder(Sim& s, Station& st, const std::vector<Text>& r,
                    const std::function<void()>& hide) {
    s.Bilmapp = Cut250(Row(r, 0));
    hide();
    st.platform.SetTitle(TitleForm3(s)); // Bilmodell still of the old folder
    UppdatGuard guard{s};
    ReapplyConstants(s);
    RestartIfRunning(s, st);
}

void ApplyVehicle(Sim& s, Station& st, const std::vector<Text>& r,
                  const std::function<void()>& hide) {
    s.Imax = CommaNumber(Row(r, 2)) / 0.12; // shown in kW
    s.Massa = CommaNumber(Row(r, 4));
    s.Tank = CommaNumber(Row(r, 7));
    if (s.Nsteg < 10) s.Bensin = s.Tank; // a full tank before a run is under way
    s.Fbmax = CommaNumber(Row(r, 10));
    s.Phjalp = CommaNumber(Row(r, 11));
    s.CdA = CommaNumber(Row(r, 13));
    s.Brannv = CommaNumber(Row(r, 16));
    s.Tathet = CommaNumber(Row(r, 17));
    s.Nmax = CommaNumber(Row(r, 18));
    {
        UppdatGuard guard{s};
        ReapplyConstants(s);
    }
    hide();
    RestartIfRunning(s, st);
}

void ApplyProgram(Sim& s, Station& st, const std::vector<Text>& r,
                  const std::function<void()>& hide) {
    s.Fulltid = Number(Row(r, 2));
    s.Fullangd = Number(Row(r, 3));
    s.Cykeltyp = Upper(FirstOrBlank(Row(r, 4)));
    // The cycle is positioned afresh in the file of the (perhaps new) type,
    // and its mode actions run again from mode 0.
    s.Nastarad.X = 0;
    if (s.Cykeltyp == 'K')
        ReadCycleRow(s, s.Tkarta, s.lkarta);
    else
        ReadCycleRow(s, s.Ttidd, s.tcykel);
    s.Mod = 0;
    s.Nastarad.Mod = 0;
    s.Aktrad.Mod = 0;
    s.Spara = Row(r, 6).substr(0, 4);
    s.Stopptom = FirstOrBlank(Row(r, 11));
    s.Vagkrokar = FirstOrBlank(Row(r, 12));
    hide();
    RestartIfRunning(s, st);
}

void ApplyModes(Sim& s, Station& st, const std::vector<Text>& r,
                const std::function<void()>& hide) {
    s.Motorstyr = ModeLetter(Row(r, 2));
    s.Tidsmod = ModeLetter(Row(r, 3));
    s.Dt = CommaNumber(Row(r, 4));
    s.Vaxelmod = Upper(FirstOrBlank(Row(r, 5))) == 'A' ? 20 : 10;
    hide();
    RestartIfRunning(s, st);
}

} // namespace

bool HasValueBox(PanelKind kind) {
    return kind != PanelKind::NotYet && kind != PanelKind::Manual;
}

std::vector<std::string> PanelLabelRows(PanelKind kind) {
    switch (kind) {
    case PanelKind::FileNames:
        return FileNameLabels();
    case PanelKind::CarFolder:
        return CarFolderLabels();
    case PanelKind::Vehicle:
        return VehicleLabels();
    case PanelKind::Program:
        return ProgramLabels();
    case PanelKind::Modes:
        return ModeLabels();
    case PanelKind::NotYet:
        return NotYetRows();
    case PanelKind::Manual:
        return ManualRows();
    }
    return {};
}

std::vector<Text> PanelValueRows(PanelKind kind, const Sim& s) {
    const Text blank = " ";
    const Text editable = Utf8ToCp1252(kEditable);
    switch (kind) {
    case PanelKind::FileNames:
        return {blank,        editable,  s.Ttidd, s.Tkarta, Utf8ToCp1252("  Se separat meny"),
                blank,        s.Tforb,   blank,   s.Tford,  s.Tvx,
                blank,        s.Mussfil, blank,   blank,    s.Tresultat,
                s.Tresultatp, s.Myname};
    case PanelKind::CarFolder:
        return {s.Bilmapp};
    case PanelKind::Vehicle:
        return {blank,
                editable,
                FormatPanelNumber(s.Imax * 0.12, 1),
                blank,
                FormatPanelNumber(s.Massa, 0),
                blank,
                blank,
                FormatPanelNumber(s.Tank, 1),
                blank,
                blank,
                FormatPanelNumber(s.Fbmax, 0),
                FormatPanelNumber(s.Phjalp, 0),
                blank,
                FormatPanelNumber(s.CdA, 2),
                blank,
                blank,
                FormatPanelNumber(s.Brannv, 2),
                FormatPanelNumber(s.Tathet, 2),
                FormatPanelNumber(s.Nmax, 0)};
    case PanelKind::Program:
        return {blank,
                editable,
                FormatPanelNumber(s.Fulltid, 0),
                FormatPanelNumber(s.Fullangd, 0),
                Letter(s.Cykeltyp),
                blank,
                s.Spara,
                blank,
                blank,
                blank,
                blank,
                Letter(s.Stopptom),
                Letter(s.Vagkrokar)};
    case PanelKind::Modes:
        return {blank,
                editable,
                Letter(s.Motorstyr),
                Letter(s.Tidsmod),
                FormatPanelNumber(s.Dt, 0),
                s.Vaxelmod == 20 ? "A" : "M"};
    case PanelKind::NotYet:
    case PanelKind::Manual:
        break;
    }
    return {};
}

std::string FormatPanelNumber(double x, int decimals) {
    if (!std::isfinite(x)) return std::isnan(x) ? "NAN" : (x > 0 ? "INF" : "-INF");
    if (decimals < 0) decimals = 0;
    // Six significant digits first; their exponent tells how many places
    // are left for the decimals.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.5e", x);
    char* e = std::strchr(buf, 'e');
    int exp10 = std::atoi(e + 1);
    if (exp10 >= 6) {
        // Mantissa without trailing zeros, exponent without leading zeros.
        *e = 0;
        std::string m = buf;
        while (m.back() == '0') m.pop_back();
        if (m.back() == '.') m.pop_back();
        return m + "E+" + std::to_string(exp10);
    }
    int places = 5 - exp10; // six digits counted from the first one
    if (places > decimals) places = decimals;
    std::snprintf(buf, sizeof buf, "%.*f", places, x);
    std::string out = buf;
    if (places < decimals) {
        if (places == 0) out += '.';
        out.append(static_cast<std::size_t>(decimals - places), '0');
    }
    // A negative value that rounds to zero shows as zero.
    if (out[0] == '-' && out.find_first_not_of("-0.") == std::string::npos) out.erase(0, 1);
    return out;
}

void ApplyPanel(Sim& s, Station& st, PanelKind kind, const std::vector<Text>& rows,
                const std::function<void()>& hide) {
    switch (kind) {
    case PanelKind::FileNames:
        ApplyFileNames(s, st, rows, hide);
        break;
    case PanelKind::CarFolder:
        ApplyCarFolder(s, st, rows, hide);
        break;
    case PanelKind::Vehicle:
        ApplyVehicle(s, st, rows, hide);
        break;
    case PanelKind::Program:
        ApplyProgram(s, st, rows, hide);
        break;
    case PanelKind::Modes:
        ApplyModes(s, st, rows, hide);
        break;
    case PanelKind::NotYet:
    case PanelKind::Manual:
        hide();
        CloseInfoPanel(s, st, kind);
        break;
    }
}

void CloseInfoPanel(Sim& s, Station& st, PanelKind kind) {
    if (kind == PanelKind::NotYet) {
        RestartIfRunning(s, st);
    } else if (kind == PanelKind::Manual) {
        // The manual repaints but leaves the timer as it was.
        if (s.Nsteg > 1) PanelSetup(s, st);
    }
}

void ValueBoxClicked(Station& st) {
    st.platform.SetTimer(false);
}

std::vector<Text> SplitRows(const Text& text) {
    std::vector<Text> rows;
    std::size_t pos = 0;
    while (true) {
        std::size_t nl = text.find('\n', pos);
        std::size_t end = nl == Text::npos ? text.size() : nl;
        std::size_t stop = end;
        if (stop > pos && text[stop - 1] == '\r') --stop;
        rows.push_back(text.substr(pos, stop - pos));
        if (nl == Text::npos) break;
        pos = nl + 1;
    }
    return rows;
}

} // namespace tralvik
