// Fleet studies: the cars of a test-car list (made as testcar makes them)
// or of a folder of car descriptions, each run in its own car folder.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "carmodel/car.h"
#include "studies/assignment.h"
#include "studies/regulatory.h"

namespace tralvik::studies {

struct StudyCar {
    carmodel::CarDescription desc;
    std::string text;        // carmaker's text the car was made from
    std::string where;       // its file (and line) for messages
    // The columns that tell the car in the CSV: car, make, model and the
    // list's line, or car and its description file.
    std::vector<std::pair<std::string, std::string>> id;
};

// The cars of `source`: a test-car list (a .csv file: one car per vehicle,
// its first city or highway row, made by the fleet rules) or a folder
// (every *.txt car description in it, in name order). Rows that make no car
// are named in `problems` and left out. Throws std::runtime_error naming the
// file when nothing can be read.
// With `guide` (a list only) the cars get the fuel-economy guide's technology
// and the guide's hybrids are left out, named in `problems`.
std::vector<StudyCar> ReadStudyCars(const std::string& source, std::vector<std::string>& problems,
                                    const std::string& guide = "");

// A list car's run beside what the list measured on the same test, found by
// the cycle file's name: the FTP-75 (the city row), HWFET (the highway row)
// or US06. The simulated figure is the run's as testcar compares it: the
// whole cycle's l/100 km, for the FTP-75 times the fleet's cold-start factor,
// unless the step started the engine itself (`ownStartFtp75`: the catalyst
// option's FTP-75 weighted by its bags).
// An electric car (`gridKwhPer100km`, its run's energy from the grid) is
// compared on the UDDS and highway cycles with the list's charge-depleting
// tests, in kWh/100 km.
std::optional<ListComparison> CompareWithList(const std::vector<std::pair<std::string, std::string>>& id,
                                              const std::string& cycle, double lPer100km, bool diesel,
                                              std::optional<double> ownStartFtp75 = std::nullopt,
                                              std::optional<double> gridKwhPer100km = std::nullopt);

// --set-car KEY=VALUE: a line of the car's description replaced (or added),
// for the description's own keys (final_drive, idle_rpm, aux_power,
// displacement, technology, f0, f1, f2, gears, ...), and besides them:
// A, B, C (the published road load in lbf, lbf/mph, lbf/mph2, taken as f0, f1,
// f2) and gear_spread (first gear over top gear: the gears re-spaced
// geometrically with the top gear kept). Road-load keys replace a drag area
// and rolling resistance. Returns the car made again; throws
// std::runtime_error naming the car and the setting when it makes no car.
StudyCar WithCarSettings(const StudyCar& car, const std::vector<Assignment>& settings);

// Writes the car's folder (its tables; with `picture`, its engine map
// MUSSEL.BMP too, which a drawn run shows) into the simulation folder
// `folder` and returns the car's lines of the constants file (folder,
// tables, power, mass and drag area from its tables, tank, brake, auxiliary
// power, fuel, top engine speed) as a study applies them.
std::vector<Assignment> MakeStudyCar(const StudyCar& car, const std::string& folder, bool picture = false);

} // namespace tralvik::studies
