// Rows of the simulator's drive-cycle files: six numbers (position, speed m/s,
// gradient %, mode, time increment, curve code) and an optional comment after
// them, which the cycle reader passes over.
#pragma once

#include <string>
#include <vector>

namespace tralvik::formats {

struct CycleRow {
    double pos = 0, speed = 0, grade = 0, mode = 0, dt = 0, curve = 0;
    std::string comment; // UTF-8; written after the sixth number behind "! "
};

// A number in the shortest plain form with at most `decimals` decimals.
std::string Num(double v, int decimals);
// Writes the rows as Windows-1252 text with CR LF ends.
void WriteCycle(const std::string& path, const std::vector<CycleRow>& rows);
// Reads a cycle file: six numbers per row, the rest of each line ignored.
// Throws std::runtime_error naming the line for a row with a non-number.
std::vector<CycleRow> ReadCycle(const std::string& path);

} // namespace tralvik::formats
