#include "config/ConstantsLayout.h"

#include <cmath>
#include <cstring>

#include "config/Ffetch.h"
#include "core/numformat.h"

namespace tralvik {

namespace {

using K = LineKind;
using R = LineRead;

ConstantLine T(int n, const char* name, Text Sim::*f, const char* meaning) {
    ConstantLine l;
    l.line = n;
    l.name = name;
    l.kind = K::Text;
    l.meaning = meaning;
    l.read = R::Plain;
    l.text = f;
    return l;
}

ConstantLine N(int n, const char* name, double Sim::*f, const char* unit, const char* meaning,
               R read = R::Plain) {
    ConstantLine l;
    l.line = n;
    l.name = name;
    l.kind = K::Number;
    l.unit = unit;
    l.meaning = meaning;
    l.read = read;
    l.number = f;
    return l;
}

ConstantLine L(int n, const char* name, char Sim::*f, const char* meaning, R read = R::Plain) {
    ConstantLine l;
    l.line = n;
    l.name = name;
    l.kind = K::Letter;
    l.meaning = meaning;
    l.read = read;
    l.letter = f;
    return l;
}

ConstantLine Unused(int n) {
    ConstantLine l;
    l.line = n;
    l.meaning = "not used (written empty)";
    return l;
}

// A number the model needs above `bound`.
ConstantLine Above(ConstantLine l, double bound, bool minusOne = false) {
    l.above = bound;
    l.minusOneFromTable = minusOne;
    return l;
}
ConstantLine AtLeast(ConstantLine l, double bound) {
    l.above = bound;
    l.atLeast = true;
    return l;
}
ConstantLine Empty(ConstantLine l) {
    l.savedEmpty = true;
    return l;
}

std::array<ConstantLine, kConstantsLines> Make() {
    const char* spare = "spare file name, kept and written back";
    const char* spareNumber = "spare, kept and written back";
    std::array<ConstantLine, kConstantsLines> a = {
        T(1, "Ttidd", &Sim::Ttidd, "time cycle file (Cykeltyp T)"),
        T(2, "Tkarta", &Sim::Tkarta, "map cycle file, by distance (Cykeltyp K)"),
        T(3, "Bilmapp", &Sim::Bilmapp, "car folder; lines 4 to 12 are looked up in it"),
        T(4, "Rad4", &Sim::Rad4, spare),
        T(5, "Tforb", &Sim::Tforb, "engine table file (in the car folder)"),
        T(6, "Rad6", &Sim::Rad6, spare),
        T(7, "Tford", &Sim::Tford, "vehicle table file (in the car folder)"),
        T(8, "Tvx", &Sim::Tvx, "gear table file (in the car folder)"),
        T(9, "Rad9", &Sim::Rad9, spare),
        T(10, "Mussfil", &Sim::Mussfil, "engine-map picture (in the car folder)"),
        T(11, "Rad11", &Sim::Rad11, spare),
        T(12, "Rad12", &Sim::Rad12, spare),
        T(13, "Tresultat", &Sim::Tresultat, "result file"),
        T(14, "Tresultatp", &Sim::Tresultatp, "supplementary result file"),
        T(15, "Myname", &Sim::Myname, "the user's name, shown in the title bar"),
        Above(N(16, "Imax", &Sim::Imax, "A", "maximum drive current; engine power shown is Imax x 0.12 kW"),
              0),
        N(17, "Rad17", &Sim::Rad17, "A", "spare current limit, taken by the start-up read only",
          R::FirstReadOnly),
        Above(N(18, "Massa", &Sim::Massa, "kg", "vehicle mass; -1: the vehicle table's"), 0, true),
        N(19, "Katalysator", &Sim::Katalysator, "",
          "catalyst: 1 gives the engine a temperature and a catalyst whose conversion of CO, NOx and HC the engine table's table 6 gives by its temperature; other values: the engine table's emissions leave the tailpipe as they are"),
        N(20, "Stoppstart", &Sim::Stoppstart, "",
          "stop-start: 1 stops the engine while the car stands; other values leave it idling"),
        Above(N(21, "Tank", &Sim::Tank, "l", "fuel tank volume"), 0),
        N(22, "Sparfoljning", &Sim::Sparfoljning, "",
          "trace following: 1 makes the cycle driver hold a time cycle's trace as a test driver does; other values leave the built-in driver"),
        N(23, "Omvandlare", &Sim::Omvandlare, "%",
          "torque converter: % of efficiency lost from third gear up while the automatic's engine works above 70 % of full load (the lock-up clutch open); 0 or a value outside 0..100: none"),
        Above(N(24, "Fbmax", &Sim::Fbmax, "N", "maximum braking force"), 0),
        AtLeast(N(25, "Phjalp", &Sim::Phjalp, "W", "power of the auxiliaries"), 0),
        N(26, "Starttemp", &Sim::Starttemp, "C",
          "with a catalyst (line 19): the air's temperature, and the engine's and catalyst's at a cold start"),
        Above(N(27, "CdA", &Sim::CdA, "m2", "drag coefficient x frontal area; -1: the vehicle table's"),
              0, true),
        N(28, "Uppehall", &Sim::Uppehall, "s",
          "with a catalyst (line 19): how long the warm engine stood before the run; 0 or less: a cold start"),
        N(29, "Rad29", &Sim::Rad29, "", spareNumber),
        Unused(30),
        Unused(31),
        Above(N(32, "Brannv", &Sim::Brannv, "kWh/l", "heating value of the fuel (kept when not a number)",
                R::KeepIfValid),
              0),
        Above(N(33, "Tathet", &Sim::Tathet, "kg/l",
                "density of the fuel; up to 0.8 counts as petrol, above as diesel (kept when not a number)",
                R::KeepIfValid),
              0),
        Above(N(34, "Nmax", &Sim::Nmax, "rpm", "maximum engine speed (kept when not a number)",
                R::KeepIfValid),
              0),
        N(35, "Fulltid", &Sim::Fulltid, "s", "the run ends when its time reaches this"),
        N(36, "Fullangd", &Sim::Fullangd, "m", "the run ends when its distance reaches this"),
        L(37, "Cykeltyp", &Sim::Cykeltyp,
          "T: the time cycle Ttidd (speed over seconds); K (or anything else): the map Tkarta "
          "(speed over metres)",
          R::TimeOrMap),
        {},
        {},
        N(40, "Rad40", &Sim::Rad40, "", spareNumber),
        L(41, "Rad41", &Sim::Rad41, "spare letter"),
        L(42, "Stopptom", &Sim::Stopptom, "J: stop the run when the tank is empty"),
        L(43, "Vagkrokar", &Sim::Vagkrokar, "J: road curves from the cycle; else a straight road"),
        L(44, "Rad44", &Sim::Rad44, "spare letter"),
        Empty(N(45, "ttot", &Sim::ttot, "s", "time driven at start (at least 0.01)", R::AtLeast001)),
        Empty(N(46, "tcykel", &Sim::tcykel, "s", "time cycle position at start")),
        Empty(N(47, "ltot", &Sim::ltot, "m", "distance driven at start (at least 0.01)", R::AtLeast001)),
        Empty(N(48, "lkarta", &Sim::lkarta, "m", "map position at start")),
        Empty(N(49, "Rad49", &Sim::Rad49, "", "spare; every step sets it to 100", R::AtLeast001)),
        {},
        Empty(N(51, "v", &Sim::v, "m/s", "speed at start (at least 0.01)", R::AtLeast001)),
        N(52, "Rad52", &Sim::Rad52, "", spareNumber),
        N(53, "Rad53", &Sim::Rad53, "", spareNumber),
        N(54, "Rad54", &Sim::Rad54, "", spareNumber),
        L(55, "Motorstyr", &Sim::Motorstyr,
          "who drives the engine: blank the cycle's driver, M the mouse, I or P the throttle keys, "
          "J or W the cycle's speed column as a current (A) or power (kW) demand",
          R::UpperLetter),
        L(56, "Tidsmod", &Sim::Tidsmod,
          "time step: R the real clock, D the fixed Dt, anything else the cycle's own", R::UpperLetter),
        N(57, "Dt", &Sim::Dt, "s", "the fixed time step of Tidsmod D"),
        {},
    };
    // The lines with rules of their own.
    ConstantLine& rad38 = a[37];
    rad38.line = 38;
    rad38.name = "Rad38";
    rad38.kind = K::NumberOrLetter;
    rad38.meaning = "spare factor: a number, or C (0.549), V (1.2), anything else 1";
    rad38.read = R::Factor;
    rad38.number = &Sim::Rad38;
    ConstantLine& spara = a[38];
    spara.line = 39;
    spara.name = "Spara";
    spara.kind = K::Text;
    spara.meaning = "save switches: 2nd character 1 writes Tresultatp (the 1st is set to 0 on "
                    "reading: use --spara)";
    spara.read = R::SaveSwitches;
    spara.text = &Sim::Spara;
    ConstantLine& used = a[49];
    used.line = 50;
    used.kind = K::Number;
    used.unit = "%";
    used.meaning = "share of the tank used at start (fills Bensin; no name)";
    used.read = R::TankPercent;
    used.savedEmpty = true;
    ConstantLine& gearbox = a[57];
    gearbox.line = 58;
    gearbox.name = "Vaxelmod";
    gearbox.kind = K::Letter;
    gearbox.meaning = "gearbox: A automatic, anything else manual";
    gearbox.read = R::Gearbox;
    gearbox.mode = &Sim::Vaxelmod;
    return a;
}

} // namespace

const std::array<ConstantLine, kConstantsLines>& ConstantsLayout() {
    static const std::array<ConstantLine, kConstantsLines> layout = Make();
    return layout;
}

const ConstantLine& LayoutLine(int n) {
    return ConstantsLayout()[static_cast<std::size_t>(n - 1)];
}

const ConstantLine* FindLayoutLine(const std::string& name) {
    if (name.empty()) return nullptr;
    for (const ConstantLine& l : ConstantsLayout())
        if (name == l.name) return &l;
    return nullptr;
}

std::optional<std::string> ValueOutOfRange(const ConstantLine& line, double value) {
    if (!line.above || line.kind != LineKind::Number) return std::nullopt;
    if (line.minusOneFromTable && RoundEven(value) == -1) return std::nullopt;
    bool ok = line.atLeast ? value >= *line.above : value > *line.above;
    if (ok) return std::nullopt;
    std::string bound = FormatGeneral15(*line.above, -4);
    std::string unit = *line.unit ? std::string(" ") + line.unit : std::string();
    std::string why = std::string("the model needs ") + (line.atLeast ? "at least " : "above ") +
                      bound + unit;
    if (line.minusOneFromTable) why += ", or -1 for the vehicle table's value";
    return why;
}

} // namespace tralvik
