#include "carmodel/carmodel.h"

#include <stdexcept>

namespace tralvik::carmodel {

namespace {
CarPictureWriter gWithPicture = nullptr;
} // namespace

void SetCarPictureWriter(CarPictureWriter writer) {
    gWithPicture = writer;
}

void MakeCarFolder(const CarDescription& car, const std::string& folder, bool picture) {
    const CarTables t = BuildTables(car);
    if (!picture) {
        WriteCarTables(car, t, folder);
        return;
    }
    if (!gWithPicture)
        throw std::logic_error("a car folder with its engine map needs the drawing (carmodel::UseCarPictures)");
    gWithPicture(car, t, folder);
}

CarDescription MakeCarFolderFromRow(const TestCarRow& row, const std::string& folder, bool picture) {
    const CarDescription car = ParseCarDescription(DescribeTestCar(row), "line " + std::to_string(row.line));
    MakeCarFolder(car, folder, picture);
    return car;
}

} // namespace tralvik::carmodel
