// consmaker: writes a constants file (58 positional lines) for a car made by
// carmaker, from the car's description and a few settings.
#include <cstdio>
#include <exception>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "carmodel/car.h"
#include "carmodel/carconstants.h"
#include "formats/cycfile.h"
#include "formats/textout.h"

using namespace tralvik::formats;
using namespace tralvik::carmodel;

namespace {

const char* kHelp = R"(consmaker - constants file for a car

Usage: consmaker SETTINGS.txt CAR.txt OUT.VAL

Writes the 58 lines of a constants file (Windows-1252, CR LF). The car's
description gives the car folder (its name, relative to the working
directory), the file names carmaker writes (MOTOR.TAB, FORDON.TAB, VAXEL.TAB,
MUSSEL.BMP), the maximum power as a current (Imax = rated kW / 0.12), the
maximum engine speed, the tank, brake force and auxiliary power, and the
fuel's heating value and density. Mass and drag area are -1: the vehicle
table's own values are taken.
SETTINGS.txt (UTF-8) sets the other lines, or overrides any, as
"Name value" per line ('#' starts a comment line); names are the lines'
field names: Ttidd Tkarta Bilmapp Rad4 Tforb Rad6 Tford Tvx Rad9 Mussfil
Rad11 Rad12 Tresultat Tresultatp Myname Imax Rad17 Massa Katalysator Stoppstart Tank
Sparfoljning Omvandlare Fbmax Phjalp Starttemp CdA Uppehall Rad29 Rad30 Rad31 Brannv Tathet
Nmax Fulltid Fullangd Cykeltyp Rad38 Spara Rad40 Rad41 Stopptom Vagkrokar
Rad44 ttot tcykel ltot lkarta Rad49 Forbrukat v Rad52 Rad53 Rad54 Motorstyr
Tidsmod Dt Vaxelmod. A value may be empty (an empty line).
)";

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc != 4) {
        std::fprintf(stderr, "usage: consmaker SETTINGS.txt CAR.txt OUT.VAL (see --help)\n");
        return 2;
    }
    try {
        Constants v;
        for (const char* n : kConstantNames) v[n] = "";
        SetCarConstants(v, ReadCarDescription(argv[2]));

        std::ifstream in(argv[1]);
        if (!in) throw std::runtime_error(std::string("cannot open ") + argv[1]);
        std::string line;
        for (int lineNo = 1; std::getline(in, line); ++lineNo) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const auto a = line.find_first_not_of(" \t");
            if (a == std::string::npos || line[a] == '#') continue;
            const auto b = line.find_first_of(" \t", a);
            const std::string name = line.substr(a, b == std::string::npos ? b : b - a);
            std::string value;
            if (b != std::string::npos) {
                const auto c = line.find_first_not_of(" \t", b);
                if (c != std::string::npos) value = line.substr(c);
            }
            if (!v.count(name))
                throw std::runtime_error(std::string(argv[1]) + ":" + std::to_string(lineNo) +
                                         ": unknown line name '" + name + "'");
            v[name] = value;
        }
        for (auto& [name, value] : v) value = Utf8To1252(value);
        WriteConstants(v, argv[3]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "consmaker: %s\n", e.what());
        return 1;
    }
    return 0;
}
