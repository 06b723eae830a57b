// The engine map's picture of a car folder (MUSSEL.BMP), drawn with Qt: a
// library of its own, so that what only writes a car's tables (an undrawn
// study) needs no toolkit.
#pragma once

#include <QImage>
#include <string>

#include "carmodel/car.h"

namespace tralvik::carmodel {

// Writes FORDON.TAB, MOTOR.TAB, VAXEL.TAB and MUSSEL.BMP into `folder`.
void WriteCarFolder(const CarDescription& desc, const CarTables& t, const std::string& folder);
// Draws the engine efficiency map at the instrument panel's scale.
QImage DrawEngineMap(const CarDescription& desc, const CarTables& t);
// Lets MakeCarFolder draw the picture (a program that links this library
// calls it once; without it a car folder with a picture is refused).
void UseCarPictures();

} // namespace tralvik::carmodel
