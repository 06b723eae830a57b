#include "carmodel/carconstants.h"

#include <cctype>
#include <cstring>
#include <utility>

#include <sstream>

#include "formats/cycfile.h"
#include "formats/textout.h"

namespace tralvik::carmodel {

using namespace tralvik::formats;

const char* const kConstantNames[58] = {
    "Ttidd",     "Tkarta",   "Bilmapp", "Rad4",   "Tforb",  "Rad6",      "Tford",
    "Tvx",       "Rad9",     "Mussfil", "Rad11",  "Rad12",  "Tresultat", "Tresultatp",
    "Myname",    "Imax",     "Rad17",   "Massa",  "Katalysator", "Stoppstart", "Tank",
    "Sparfoljning", "Omvandlare", "Fbmax",   "Phjalp", "Starttemp", "CdA",     "Uppehall",
    "Rad29",     "Rad30",    "Rad31",   "Brannv", "Tathet", "Nmax",      "Fulltid",
    "Fullangd",  "Cykeltyp", "Rad38",   "Spara",  "Rad40",  "Rad41",     "Stopptom",
    "Vagkrokar", "Rad44",    "ttot",    "tcykel", "ltot",   "lkarta",    "Rad49",
    "Forbrukat", "v",        "Rad52",   "Rad53",  "Rad54",  "Motorstyr", "Tidsmod",
    "Dt",        "Vaxelmod"};

std::string CarFolderName(const std::string& name) {
    // UTF-8 letters with marks, as their plain ASCII letter.
    static const std::pair<const char*, char> kPlain[] = {
        {"å", 'a'}, {"ä", 'a'}, {"à", 'a'}, {"á", 'a'}, {"â", 'a'}, {"ã", 'a'}, {"Å", 'A'}, {"Ä", 'A'},
        {"À", 'A'}, {"Á", 'A'}, {"Â", 'A'}, {"ö", 'o'}, {"ø", 'o'}, {"ó", 'o'}, {"ò", 'o'}, {"ô", 'o'},
        {"Ö", 'O'}, {"Ø", 'O'}, {"Ó", 'O'}, {"é", 'e'}, {"è", 'e'}, {"ê", 'e'}, {"ë", 'e'}, {"É", 'E'},
        {"ü", 'u'}, {"ú", 'u'}, {"Ü", 'U'}, {"í", 'i'}, {"ï", 'i'}, {"ç", 'c'}, {"ñ", 'n'}, {"ß", 's'}};
    std::string out;
    bool gap = false;
    for (std::size_t i = 0; i < name.size() && out.size() < 64;) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        char keep = 0;
        std::size_t len = 1;
        if (std::isalnum(c) || c == '-' || c == '_' || (c == '.' && !out.empty())) {
            keep = static_cast<char>(c);
        } else {
            for (const auto& [utf8, plain] : kPlain)
                if (name.compare(i, std::strlen(utf8), utf8) == 0) {
                    keep = plain;
                    len = std::strlen(utf8);
                    break;
                }
        }
        if (keep) {
            if (gap && !out.empty() && out.back() != '_') out += '_';
            if (gap && out.empty()) out += '_';
            out += keep;
            gap = false;
        } else {
            gap = true;
        }
        i += len;
    }
    // A gap's '_' and the letter after it can pass the limit by one.
    if (out.size() > 64) out.resize(64);
    while (!out.empty() && out.back() == '.') out.pop_back();
    return out.empty() || out == "_" ? std::string("bil") : out;
}

void SetCarConstants(Constants& v, const CarDescription& car) {
    v["Bilmapp"] = CarFolderName(car.name);
    v["Tforb"] = "MOTOR.TAB";
    v["Tford"] = "FORDON.TAB";
    v["Tvx"] = "VAXEL.TAB";
    v["Mussfil"] = "MUSSEL.BMP";
    v["Imax"] = v["Rad17"] = Num(car.power * 1000.0 / 120.0, 3);
    v["Massa"] = "-1";
    v["CdA"] = "-1";
    v["Tank"] = Num(car.tank, 3);
    v["Fbmax"] = Num(car.brakeForce, 3);
    v["Phjalp"] = Num(car.auxPower, 3);
    v["Brannv"] = Num(FuelHeatingValue(car.fuel), 4);
    v["Tathet"] = Num(FuelDensity(car.fuel), 4);
    v["Nmax"] = Num(car.maxRpm, 3); // an electric car's: the motor's
    if (car.stopStart) v["Stoppstart"] = "1";
    if (car.converterSlip > 0) v["Omvandlare"] = Num(car.converterSlip, 3);
    if (car.catalyst != Catalyst::None) {
        v["Katalysator"] = "1";
        v["Starttemp"] = Num(car.startTemp, 3);
    }
}

Constants ReadConstants(const std::string& path) {
    std::istringstream in(ReadBytes(path));
    Constants v;
    std::string line;
    for (const char* n : kConstantNames) {
        if (!std::getline(in, line)) line.clear();
        if (!line.empty() && line.back() == '\r') line.pop_back();
        v[n] = line;
    }
    return v;
}

void WriteConstants(const Constants& v, const std::string& path) {
    CrlfFile out;
    for (const char* n : kConstantNames) {
        const auto it = v.find(n);
        out.Line(it == v.end() ? std::string() : it->second);
    }
    out.Write(path);
}

} // namespace tralvik::carmodel
