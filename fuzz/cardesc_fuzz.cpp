// The car description reader on arbitrary bytes, then the car's tables built
// (everything carmaker writes but the picture).
#include <cstdint>
#include <stdexcept>
#include <string>

#include "carmodel/carmodel.h"

using namespace tralvik::carmodel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const CarDescription car = ParseCarDescription(text, "car.txt");
        (void)BuildTables(car);
    } catch (const std::runtime_error&) {
    }
    return 0;
}
