#include "formats/cycfile.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "formats/textout.h"

namespace tralvik::formats {

std::string Num(double v, int decimals) {
    std::string s = Fixed(v, decimals);
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

void WriteCycle(const std::string& path, const std::vector<CycleRow>& rows) {
    CrlfFile f;
    for (const CycleRow& r : rows) {
        std::string line = Num(r.pos, 2) + " " + Num(r.speed, 4) + " " + Num(r.grade, 2) + " " +
                           Num(r.mode, 0) + " " + Num(r.dt, 3) + " " + Num(r.curve, 0);
        if (!r.comment.empty()) line += "   ! " + Utf8To1252(r.comment);
        f.Line(line);
    }
    f.Write(path);
}

std::vector<CycleRow> ReadCycle(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::vector<CycleRow> rows;
    std::string line;
    for (int lineNo = 1; std::getline(in, line); ++lineNo) {
        std::istringstream ls(line);
        double v[6];
        std::string w;
        int k = 0;
        for (; k < 6 && (ls >> w); ++k) {
            std::size_t used = 0;
            try {
                v[k] = std::stod(w, &used);
            } catch (const std::exception&) { used = 0; }
            if (used != w.size())
                throw std::runtime_error(path + ":" + std::to_string(lineNo) + ": '" + w +
                                         "' is not a number");
        }
        if (k == 0) continue;
        if (k < 6)
            throw std::runtime_error(path + ":" + std::to_string(lineNo) +
                                     ": fewer than six numbers");
        rows.push_back({v[0], v[1], v[2], v[3], v[4], v[5], {}});
    }
    return rows;
}

} // namespace tralvik::formats
