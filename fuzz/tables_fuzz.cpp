// TABR1 and TABR2 on arbitrary table bytes, inputs, modes and columns. The
// first 20 bytes choose the look-up; the rest is the table file.
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
    Sim s;
    ResetState(s);
    s.Progmapp = fuzz::Folder();
    Text file = fuzz::WriteFile("T.TAB", in.data(), in.size());
    Text name = std::to_string(table % 7); // "0" is the first table
    try {
        TABR1(s, file, name, mode1, x, column % 8);
    } catch (const IoError&) {
    } catch (const TableAbort&) {
    }
    try {
        TABR2(s, file, name, mode1, x, y, mode2);
    } catch (const IoError&) {
    } catch (const TableAbort&) {
    }
    return 0;
}
