// The car model's public face: what a program needs to make car folders from
// descriptions or from rows of the public test-car list.
//
//   TestCarList list = ReadTestCars("list.csv");          // rows + problems
//   for (const TestVehicle& v : GroupTestVehicles(list.rows))
//       CarDescription car = MakeCarFolderFromRow(v.Base(), "run/" + ...);
//   Constants c = ReadConstants("data/CONS.VAL");
//   SetCarConstants(c, car);                               // the car's lines
//
// Everything throws std::runtime_error with a message naming the file and
// line (or the row's line) on bad input.
#pragma once

#include <string>

#include "carmodel/car.h"
#include "carmodel/carconstants.h"
#include "carmodel/fleet.h"
#include "carmodel/testcars.h"

namespace tralvik::carmodel {

// Writes a car folder (FORDON.TAB, MOTOR.TAB, VAXEL.TAB and, with `picture`,
// MUSSEL.BMP, which needs Qt's GUI part: a program that asks for it links
// carpicture and calls UseCarPictures()) for a car description.
void MakeCarFolder(const CarDescription& car, const std::string& folder, bool picture = true);

// The car of a list row, made by the fleet rules, written as MakeCarFolder
// does; returns it (its name is made from the make and model).
CarDescription MakeCarFolderFromRow(const TestCarRow& row, const std::string& folder, bool picture = true);

// How the picture is written: set by UseCarPictures() (carpicture.h).
using CarPictureWriter = void (*)(const CarDescription&, const CarTables&, const std::string&);
void SetCarPictureWriter(CarPictureWriter writer);

} // namespace tralvik::carmodel
