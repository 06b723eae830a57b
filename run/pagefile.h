// Writing pages, charts and tables of a run or a study: a file is replaced
// whole or not at all (a device or a pipe is written through).
#pragma once

#include <string>
#include <vector>

namespace tralvik::run {

// A chart of a page as a file of its own (--charts DIR): its file name and
// the SVG document.
struct ChartFile {
    std::string name, svg;
};
using ChartFiles = std::vector<ChartFile>;

// Writes a page (or a chart) whole or not at all: an existing file is
// replaced only once the new one is on the disk. False with `error` naming
// the path on failure.
bool WritePageFile(const std::string& path, const std::string& text, std::string& error);
// Writes each chart as DIR/NAME, making DIR when missing.
bool WriteChartFiles(const std::string& dir, const ChartFiles& charts, std::string& error);

} // namespace tralvik::run
