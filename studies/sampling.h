// Sampling a study's parameters: Latin hypercube samples over ranges, and
// one-at-a-time elasticities around the middle of each range.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "studies/assignment.h"

namespace tralvik::studies {

// NAME=LOW:HIGH of --vary: a number line of the constants file and its range.
struct Vary {
    std::string name;
    double low = 0, high = 0;
};

// Checks the name (a number line), both ends (numbers the model can mean)
// and LOW <= HIGH; on an error returns nothing and sets `error`.
std::optional<Vary> ParseVary(const std::string& text, std::string& error);
// KEY=LOW:HIGH of --vary-car: a key of a fleet car's description over a range,
// named "car KEY" as the CSV names a car's keys (the key itself is checked as
// the cars are made).
std::optional<Vary> ParseVaryCar(const std::string& text, std::string& error);
// Whether a varied name is a car key ("car KEY"), and the key.
inline bool IsCarKey(const std::string& name) { return name.rfind("car ", 0) == 0; }

// A number as a value line takes it: the shortest text that reads back exactly.
std::string NumberText(double v);

// N samples, a Latin hypercube: each range cut into N equal strata, each
// stratum of each parameter sampled once (at a uniform point within it), the
// strata of the parameters paired by independent random permutations. The
// same seed gives the same samples on every machine.
std::vector<std::vector<Assignment>> LatinHypercube(const std::vector<Vary>& vary, std::size_t n,
                                                    uint64_t seed);
// The same, each value made when asked for (a large plan holds the strata,
// not the values).
class Hypercube {
  public:
    Hypercube(const std::vector<Vary>& vary, std::size_t n, uint64_t seed);
    double Value(std::size_t sample, std::size_t range) const;

  private:
    std::vector<Vary> vary_;
    std::size_t n_;
    std::vector<std::vector<uint32_t>> strata_;
    std::vector<uint64_t> state_; // the generator before each range's points
};
// As numbers: sample i's value of range r at [i * ranges + r].
std::vector<double> LatinHypercubeValues(const std::vector<Vary>& vary, std::size_t n, uint64_t seed);

// One at a time around the middle of each range: the base (every parameter
// at its middle), then for each parameter its middle -5 % and +5 %, the others
// at their middles. `labels` name them ("base", "Massa-5%", "Massa+5%", ...).
void ElasticityVariants(const std::vector<Vary>& vary, std::vector<std::vector<Assignment>>& variants,
                        std::vector<std::string>& labels);

// The relative change of y per relative change of x, by the central
// difference over the two runs: ((y+ - y-) / y0) / ((x+ - x-) / x0).
std::optional<double> Elasticity(double y0, double yMinus, double yPlus, double x0, double xMinus,
                                 double xPlus);

class StudyPlan; // studies/study.h

// The runs of a study over --vary ranges: N Latin-hypercube samples
// ("sample1", ...) when `samples` is above 0, else the elasticity's runs.
StudyPlan SampledPlan(const std::vector<std::string>& folders, const std::vector<Assignment>& sets,
                      const std::vector<Vary>& vary, std::size_t samples, uint64_t seed);

} // namespace tralvik::studies
