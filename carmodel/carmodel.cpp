#include "carmodel/carmodel.h"

namespace tralvik::carmodel {

void MakeCarFolder(const CarDescription& car, const std::string& folder, bool picture) {
    const CarTables t = BuildTables(car);
    if (picture)
        WriteCarFolder(car, t, folder);
    else
        WriteCarTables(car, t, folder);
}

CarDescription MakeCarFolderFromRow(const TestCarRow& row, const std::string& folder, bool picture) {
    const CarDescription car = ParseCarDescription(DescribeTestCar(row), "line " + std::to_string(row.line));
    MakeCarFolder(car, folder, picture);
    return car;
}

} // namespace tralvik::carmodel
