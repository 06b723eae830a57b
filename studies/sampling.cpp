#include "studies/sampling.h"

#include <charconv>
#include <cmath>
#include <memory>
#include <stdexcept>

#include "config/ConstantsLayout.h"
#include "config/Ffetch.h"
#include "studies/study.h"

namespace tralvik::studies {

namespace {

// splitmix64: a small generator whose sequence is fixed by its definition,
// so samples do not depend on the standard library's distributions.
struct Random {
    uint64_t state;
    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1) with 53 bits.
    double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    // Uniform in [0, n), without the bias of a plain remainder.
    uint64_t Below(uint64_t n) {
        uint64_t limit = UINT64_MAX - UINT64_MAX % n;
        uint64_t x;
        do x = Next();
        while (x >= limit);
        return x % n;
    }
};

} // namespace

std::string NumberText(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::optional<Vary> ParseVaryCar(const std::string& text, std::string& error) {
    auto eq = text.find('=');
    auto colon = eq == std::string::npos ? std::string::npos : text.find(':', eq);
    if (eq == std::string::npos || eq == 0 || colon == std::string::npos ||
        text.find_first_of(" \t", 0) < eq) {
        error = "--vary-car needs KEY=LOW:HIGH, not '" + text + "'";
        return std::nullopt;
    }
    Vary v;
    v.name = "car " + text.substr(0, eq);
    const std::string low = text.substr(eq + 1, colon - eq - 1), high = text.substr(colon + 1);
    if (!ParseNumber(low, v.low) || !ParseNumber(high, v.high) || !std::isfinite(v.low) || !std::isfinite(v.high)) {
        error = "--vary-car " + text.substr(0, eq) + ": LOW and HIGH must be numbers, not '" + low + ":" + high + "'";
        return std::nullopt;
    }
    if (!(v.low <= v.high)) {
        error = "--vary-car " + text.substr(0, eq) + ": LOW " + low + " is above HIGH " + high;
        return std::nullopt;
    }
    if (!std::isfinite(v.high - v.low) || !std::isfinite(v.high * 1.05) || !std::isfinite(v.low * 1.05)) {
        error = "--vary-car " + text.substr(0, eq) + ": the range " + low + ":" + high +
                " is wider than a number can hold; give a narrower one";
        return std::nullopt;
    }
    return v;
}

std::optional<Vary> ParseVary(const std::string& text, std::string& error) {
    auto eq = text.find('=');
    auto colon = eq == std::string::npos ? std::string::npos : text.find(':', eq);
    if (eq == std::string::npos || eq == 0 || colon == std::string::npos) {
        error = "--vary needs NAME=LOW:HIGH, not '" + text + "'";
        return std::nullopt;
    }
    Vary v;
    v.name = text.substr(0, eq);
    const ConstantLine* line = FindConstLine(v.name);
    if (!line || line->kind != LineKind::Number) {
        error = "--vary: '" + v.name + "' is not a number line of CONS.VAL (see --list-constants)";
        return std::nullopt;
    }
    const std::string low = text.substr(eq + 1, colon - eq - 1), high = text.substr(colon + 1);
    for (const std::string* end : {&low, &high}) {
        if (!ParseAssignment(v.name + "=" + *end, "--vary", error)) return std::nullopt;
    }
    ParseNumber(low, v.low);
    ParseNumber(high, v.high);
    if (!(v.low <= v.high)) {
        error = "--vary " + v.name + ": LOW " + low + " is above HIGH " + high;
        return std::nullopt;
    }
    // Samples are LOW + (HIGH - LOW) x u: a width beyond the largest number
    // would make them infinite.
    if (!std::isfinite(v.high - v.low) || !std::isfinite(v.high * 1.05) || !std::isfinite(v.low * 1.05)) {
        error = "--vary " + v.name + ": the range " + low + ":" + high +
                " is wider than a number can hold; give a narrower one";
        return std::nullopt;
    }
    // A range is of values themselves: -1 (the table's value) is no end.
    ConstantLine plain = *line;
    plain.minusOneFromTable = false;
    for (double x : {v.low, v.high}) {
        if (auto why = ValueOutOfRange(plain, x)) {
            error = "--vary " + v.name + ": " + NumberText(x) + ": " + *why;
            return std::nullopt;
        }
    }
    // The elasticity's steps reach 5 % beyond the middle: they must be
    // values the model can mean too.
    const double mid = v.low + (v.high - v.low) / 2;
    for (double x : {mid * 0.95, mid * 1.05}) {
        if (auto why = ValueOutOfRange(plain, x)) {
            error = "--vary " + v.name + ": " + NumberText(x) + " (5 % from the middle): " + *why;
            return std::nullopt;
        }
    }
    return v;
}

// The strata of each range, shuffled in turn; each point within its
// stratum is drawn when asked for: the generator's k-th number after a
// state is the same however it is reached (splitmix64 counts), so only the
// state before each range's points is kept, not the points.
Hypercube::Hypercube(const std::vector<Vary>& vary, std::size_t n, uint64_t seed) : vary_(vary), n_(n) {
    if (n > UINT32_MAX) throw std::length_error("a Latin hypercube of more than 2^32 samples");
    Random random{seed};
    for (std::size_t r = 0; r < vary.size(); ++r) {
        std::vector<uint32_t> strata(n);
        for (std::size_t i = 0; i < n; ++i) strata[i] = static_cast<uint32_t>(i);
        for (std::size_t i = n; i > 1; --i) std::swap(strata[i - 1], strata[random.Below(i)]);
        strata_.push_back(std::move(strata));
        state_.push_back(random.state);
        random.state += n * 0x9E3779B97F4A7C15ull; // past the range's n points
    }
}

double Hypercube::Value(std::size_t i, std::size_t r) const {
    Random at{state_[r] + i * 0x9E3779B97F4A7C15ull};
    const double u = at.Unit();
    const double where = (static_cast<double>(strata_[r][i]) + u) / static_cast<double>(n_);
    return vary_[r].low + where * (vary_[r].high - vary_[r].low);
}

std::vector<double> LatinHypercubeValues(const std::vector<Vary>& vary, std::size_t n, uint64_t seed) {
    const Hypercube cube(vary, n, seed);
    std::vector<double> values(n * vary.size());
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t r = 0; r < vary.size(); ++r) values[i * vary.size() + r] = cube.Value(i, r);
    return values;
}

std::vector<std::vector<Assignment>> LatinHypercube(const std::vector<Vary>& vary, std::size_t n,
                                                    uint64_t seed) {
    const std::vector<double> values = LatinHypercubeValues(vary, n, seed);
    std::vector<std::vector<Assignment>> samples(n);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t r = 0; r < vary.size(); ++r)
            samples[i].push_back({vary[r].name, NumberText(values[i * vary.size() + r])});
    return samples;
}

void ElasticityVariants(const std::vector<Vary>& vary, std::vector<std::vector<Assignment>>& variants,
                        std::vector<std::string>& labels) {
    std::vector<Assignment> base;
    for (const Vary& v : vary) base.push_back({v.name, NumberText(v.low + (v.high - v.low) / 2)});
    variants = {base};
    labels = {"base"};
    for (std::size_t k = 0; k < vary.size(); ++k) {
        const double mid = vary[k].low + (vary[k].high - vary[k].low) / 2;
        for (auto [factor, label] : {std::pair{0.95, "-5%"}, std::pair{1.05, "+5%"}}) {
            std::vector<Assignment> one = base;
            one[k].value = NumberText(mid * factor);
            variants.push_back(one);
            labels.push_back(vary[k].name + label);
        }
    }
}

StudyPlan SampledPlan(const std::vector<std::string>& folders, const std::vector<Assignment>& sets,
                      const std::vector<Vary>& vary, std::size_t samples, uint64_t seed) {
    if (samples) {
        // Each run's values made as it comes.
        auto cube = std::make_shared<const Hypercube>(vary, samples, seed);
        auto variant = [cube, vary](std::size_t i) {
            std::vector<Assignment> one;
            for (std::size_t r = 0; r < vary.size(); ++r) one.push_back({vary[r].name, NumberText(cube->Value(i, r))});
            return one;
        };
        auto label = [](std::size_t i) { return "sample" + std::to_string(i + 1); };
        return StudyPlan(folders, sets, samples, variant, label);
    }
    std::vector<std::vector<Assignment>> variants;
    std::vector<std::string> labels;
    ElasticityVariants(vary, variants, labels);
    return StudyPlan(folders, sets, std::move(variants), std::move(labels));
}

std::optional<double> Elasticity(double y0, double yMinus, double yPlus, double x0, double xMinus,
                                 double xPlus) {
    if (y0 == 0 || x0 == 0 || xPlus == xMinus) return std::nullopt;
    double e = ((yPlus - yMinus) / y0) / ((xPlus - xMinus) / x0);
    if (!std::isfinite(e)) return std::nullopt;
    return e;
}

} // namespace tralvik::studies
