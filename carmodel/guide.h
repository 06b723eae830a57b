// The public fuel-economy guide (one row per model type, CSV): the engine
// technology the test-car list does not give, and the join of a list vehicle
// to its model types.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "carmodel/fleet.h"
#include "carmodel/testcars.h"

namespace tralvik::carmodel {

// One model type of the guide, as far as the join and the car model need it.
struct GuideType {
    int line = 0;              // first line of its record, for messages
    std::string make;          // "Division"
    std::string mfrCode;       // "Verify Mfr Cd"
    std::string carline;       // "Carline"
    double displacement = 0;   // l
    int cylinders = 0;
    Gearbox gearbox = Gearbox::Automatic;
    int gears = 0;             // 0 for a CVT without steps
    double cityUnadj = 0, hwyUnadj = 0; // unadjusted figures, mpg (0: not given)
    std::vector<std::string> testGroups;
    EngineTechnology tech;     // every field known, from this one type
    bool hybrid = false;       // an energy storage device is described
};

struct Guide {
    std::vector<GuideType> types;
    std::vector<std::string> problems; // records left out: "FILE:LINE: why"
};

// Reads the guide: a header naming the columns (any order; cells may be
// quoted and hold line ends), then one model type per record. A bad record is
// reported in `problems` and left out. Throws std::runtime_error naming the
// file for a file that cannot be read, is not a regular file or is over 64 MB,
// a missing column, or no good record.
Guide ReadGuide(const std::string& path);
Guide ParseGuide(const std::string& text, const std::string& where);

// How a vehicle was found: by the unadjusted figures (its own tests made the
// label), by its test group, by its model name, only by its engine and
// gearbox, or not at all.
enum class GuideMatch { None, Engine, Name, TestGroup, Figures };
std::string GuideMatchName(GuideMatch m);

struct GuideFinding {
    GuideMatch match = GuideMatch::None;
    int types = 0;             // model types the finding rests on
    EngineTechnology tech;     // a field the types disagree on stays unknown
    bool hybrid = false;       // every type the finding rests on is a hybrid (none found: false)
};

// The technology as the tables and CSV columns name it: stop-start yes/no,
// injection (diesel for a diesel), aspiration charged/naturally aspirated,
// deactivation yes/no; "unknown" where the guide does not tell.
struct TechnologyLabels {
    std::string stopStart, injection, aspiration, deactivation;
};
TechnologyLabels LabelTechnology(const EngineTechnology& t, bool diesel);

// The vehicle's model types: same maker (the maker code when both files give
// it, else the make's name), displacement within 0.05 l, cylinders, gearbox
// kind and gear count; narrowed by the unadjusted figures, else the test
// group and the model name, else the model name.
GuideFinding FindInGuide(const Guide& guide, const TestVehicle& v);

} // namespace tralvik::carmodel
