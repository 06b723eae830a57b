#include "formats/csv.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tralvik::formats {

std::vector<TracePoint> ReadTrace(const std::string& path, bool kmh) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::vector<TracePoint> out;
    std::string line;
    for (int lineNo = 1; std::getline(in, line); ++lineNo) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        const char c0 = line[first];
        const bool numeric =
            std::isdigit(static_cast<unsigned char>(c0)) || c0 == '-' || c0 == '+' || c0 == '.';
        if (!numeric && out.empty() && lineNo == 1) continue; // header
        std::vector<double> vals;
        std::stringstream ss(line);
        for (std::string cell; std::getline(ss, cell, ',');) {
            const auto a = cell.find_first_not_of(" \t");
            const auto b = cell.find_last_not_of(" \t");
            if (a == std::string::npos)
                throw std::runtime_error(path + ":" + std::to_string(lineNo) + ": empty field");
            cell = cell.substr(a, b - a + 1);
            std::size_t used = 0;
            double v = 0;
            try {
                v = std::stod(cell, &used);
            } catch (const std::exception&) { used = 0; }
            if (used != cell.size())
                throw std::runtime_error(path + ":" + std::to_string(lineNo) + ": '" + cell +
                                         "' is not a number");
            vals.push_back(v);
        }
        if (vals.size() < 2 || vals.size() > 3)
            throw std::runtime_error(path + ":" + std::to_string(lineNo) +
                                     ": need time, speed and optional gradient");
        TracePoint p{vals[0], kmh ? vals[1] / 3.6 : vals[1], vals.size() == 3 ? vals[2] : 0.0};
        if (!out.empty() && p.t <= out.back().t)
            throw std::runtime_error(path + ":" + std::to_string(lineNo) + ": time does not rise");
        if (p.v < 0)
            throw std::runtime_error(path + ":" + std::to_string(lineNo) + ": negative speed");
        out.push_back(p);
    }
    if (out.size() < 2) throw std::runtime_error(path + ": fewer than two rows");
    return out;
}

} // namespace tralvik::formats
