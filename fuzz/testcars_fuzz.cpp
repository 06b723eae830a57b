// The test-car list reader on arbitrary bytes, then the first vehicle it
// finds made into a car description by the fleet rules and read back (the
// tables of a description are fuzz_cardesc's).
#include <cstdint>
#include <stdexcept>
#include <string>

#include "carmodel/carmodel.h"

using namespace tralvik::carmodel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const TestCarList list = ParseTestCars(text, "list.csv");
        int made = 0;
        for (const TestVehicle& v : GroupTestVehicles(list.rows)) {
            if (++made > 1) break; // the rules are the same for every row
            try {
                (void)LeastRoadLoad(v.Base(), 27);
                (void)ParseCarDescription(DescribeTestCar(v.Base()), "row");
            } catch (const std::runtime_error&) {
            }
        }
    } catch (const std::runtime_error&) {
    }
    return 0;
}
