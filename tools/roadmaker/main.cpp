// roadmaker: turns a road described as stretches (length, speed, gradient,
// mode, time increment, curve) into a map: a distance-based cycle file.
#include <cmath>
#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/cycfile.h"

using namespace tralvik::formats;

namespace {

const char* kHelp = R"(roadmaker - road description to a map (distance-based cycle file)

Usage: roadmaker ROAD.txt MAP.CYK

ROAD.txt (UTF-8), one stretch per line, '#' starts a comment line:
  LENGTH_M SPEED_KMH GRADIENT_% MODE DT CURVE [! comment]
  end SPEED_KMH [! comment]
LENGTH_M is the stretch's length; the map row gets the stretch's start as its
position and the speed in m/s. MODE, DT and CURVE go to columns 4 to 6 as they
are (mode 21 holds the row's speed and gradient for DT seconds; a curve code
has the sharpness in its thousands digit, its sign gives the direction, and
its length in metres in the rest). The comment is written after the sixth
number, where the cycle reader passes over it.
"end" closes the road: a row with mode 100 at the end position, which ends
the run when it comes into force, and a closing row 10 m further on.
A curve must fit in its stretch unless the next stretch has the same code.
)";

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: roadmaker ROAD.txt MAP.CYK (see --help)\n");
        return 2;
    }
    try {
        std::ifstream in(argv[1]);
        if (!in) throw std::runtime_error(std::string("cannot open ") + argv[1]);
        std::vector<CycleRow> rows;
        std::vector<double> lengths;
        double pos = 0;
        bool ended = false;
        std::string line;
        for (int lineNo = 1; std::getline(in, line); ++lineNo) {
            const std::string where = std::string(argv[1]) + ":" + std::to_string(lineNo);
            std::string comment;
            if (auto bang = line.find('!'); bang != std::string::npos) {
                comment = line.substr(bang + 1);
                comment.erase(0, comment.find_first_not_of(' '));
                line.erase(bang);
            }
            std::istringstream ls(line);
            std::string first;
            if (!(ls >> first) || first[0] == '#') continue;
            if (ended) throw std::runtime_error(where + ": nothing may follow 'end'");
            if (first == "end") {
                double kmh = 0;
                if (!(ls >> kmh)) throw std::runtime_error(where + ": end needs a speed");
                rows.push_back({pos, kmh / 3.6, 0, 100, 0.04, 0, comment});
                rows.push_back({pos + 10, kmh / 3.6, 0, 100, 0.04, 0, "avslutar raden ovan"});
                ended = true;
                continue;
            }
            double len = std::stod(first), kmh, grade, mode, dt, curve;
            if (!(ls >> kmh >> grade >> mode >> dt >> curve))
                throw std::runtime_error(where + ": need length, speed, gradient, mode, dt, curve");
            if (len <= 0) throw std::runtime_error(where + ": length must be positive");
            rows.push_back({pos, kmh / 3.6, grade, mode, dt, curve, comment});
            lengths.push_back(len);
            pos += len;
        }
        if (!ended) throw std::runtime_error("the road has no 'end' line");
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            const double c = rows[i].curve;
            if (std::fabs(c) > 999 && std::fabs(c) < 10000) {
                const double curveLen = std::fmod(std::fabs(std::round(c)), 1000.0);
                const bool continues = i + 1 < lengths.size() && rows[i + 1].curve == c;
                if (curveLen > lengths[i] && !continues)
                    throw std::runtime_error("curve " + Num(c, 0) + " at " + Num(rows[i].pos, 0) +
                                             " m is longer than its stretch");
            }
        }
        WriteCycle(argv[2], rows);
        std::printf("%s: %zu rows, %.0f m\n", argv[2], rows.size(), pos);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "roadmaker: %s\n", e.what());
        return 1;
    }
    return 0;
}
