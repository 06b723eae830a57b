// TABR1 and TABR2 on arbitrary table bytes, inputs, modes and columns. The
// first 20 bytes choose the look-up; the rest is the table file. Each answer
// must be, bit for bit, that of the literal scan of the same file, and a
// look-up must fail exactly where and as the scan does.
#include <bit>
#include <cstdint>
#include <string>
#include <utility>

#include "core/Ttabr2.h"
#include "core/ttabr1.h"
#include "fuzz/support.h"

using namespace tralvik;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Bytes in(data, size);
    double x = in.Take<double>();
    double y = in.Take<double>();
    char mode1 = in.Take<char>();
    char mode2 = in.Take<char>();
    uint8_t column = in.Take<uint8_t>();
    uint8_t table = in.Take<uint8_t>();
    Sim& s = fuzz::FreshSim([](Sim& b) {
        ResetState(b);
        b.Progmapp = fuzz::Folder();
    });
    Text file = fuzz::WriteFile("T.TAB", in.data(), in.size());
    Text name = std::to_string(table % 7); // "0" is the first table
    // What a look-up gave: its result's bits, or its failure's message.
    auto outcome = [](auto lookup) -> std::string {
        try {
            return std::to_string(std::bit_cast<uint64_t>(lookup()));
        } catch (const TableAbort& e) {
            return std::string("abort ") + e.what();
        } catch (const IoError& e) {
            return std::string("io ") + e.what();
        }
    };
    const int col = column % 8;
    // Twice, the inputs swapped: the second look-up starts from where the
    // first one stopped.
    for (int k = 0; k < 2; ++k) {
        if (outcome([&] { return ReferenceTABR1(s, file, name, mode1, x, col); }) !=
            outcome([&] { return TABR1(s, file, name, mode1, x, col); }))
            __builtin_trap();
        if (outcome([&] { return ReferenceTABR2(s, file, name, mode1, x, y, mode2); }) !=
            outcome([&] { return TABR2(s, file, name, mode1, x, y, mode2); }))
            __builtin_trap();
        std::swap(x, y);
    }
    return 0;
}
