// The 58 positional lines of a constants file by their field names, and the
// lines a car made by carmaker decides.
#pragma once

#include <map>
#include <string>

#include "carmodel/car.h"

namespace tralvik::carmodel {

extern const char* const kConstantNames[58];

using Constants = std::map<std::string, std::string>;

// Sets the car's lines: folder, table and picture names, Imax, mass and drag
// area (-1: the vehicle table's own), tank, brake force, auxiliary power, fuel
// heating value and density, maximum engine speed.
void SetCarConstants(Constants& v, const CarDescription& car);
// Reads a constants file's lines (CR LF or LF) by name; missing lines are empty.
Constants ReadConstants(const std::string& path);
// Writes them in order, Windows-1252 as given, CR LF.
void WriteConstants(const Constants& v, const std::string& path);

} // namespace tralvik::carmodel
