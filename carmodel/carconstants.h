// The 58 positional lines of a constants file by their field names, and the
// lines a car made by carmaker decides.
#pragma once

#include <map>
#include <string>

#include "carmodel/car.h"

namespace tralvik::carmodel {

extern const char* const kConstantNames[58];

using Constants = std::map<std::string, std::string>;

// The folder a car is written to inside a simulation folder: its name made
// safe as one folder name. Letters, digits, '-', '_' and '.' are kept, å ä ö
// and other accented Latin letters lose their marks (the constants file is
// Windows-1252 and the folder's name must read the same from it), every
// other run of characters becomes '_'; never "", "." or "..", never a path,
// at most 64 bytes. "Mellanbil" stays "Mellanbil"; "../../x" is "_x".
std::string CarFolderName(const std::string& name);

// Sets the car's lines: folder (CarFolderName), table and picture names, Imax, mass and drag
// area (-1: the vehicle table's own), tank, brake force, auxiliary power, fuel
// heating value and density, maximum engine speed.
void SetCarConstants(Constants& v, const CarDescription& car);
// Reads a constants file's lines (CR LF or LF) by name; missing lines are empty.
Constants ReadConstants(const std::string& path);
// Writes them in order, Windows-1252 as given, CR LF.
void WriteConstants(const Constants& v, const std::string& path);

} // namespace tralvik::carmodel
