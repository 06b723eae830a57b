// Writing pages, charts and tables of a run or a study: a file is replaced
// whole or not at all (a device or a pipe is written through).
#pragma once

#include <optional>
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

// Why an output file cannot be written at `path`, found before any run
// starts: a folder of that name, a folder that does not exist, or one the
// program may not write in (read-only). Nothing when it can be written (a
// device or a pipe can).
std::optional<std::string> OutputFileProblem(const std::string& path);
// Why the temporary folder (TMPDIR, else /tmp) cannot take the runs'
// copies of a simulation folder: missing, not writable, or with less than
// 8 MB free. Nothing when it can.
std::optional<std::string> TemporaryFolderProblem();

// The same for a folder of outputs (--charts DIR): a file of that name, or
// a place where the folder cannot be made.
std::optional<std::string> OutputFolderProblem(const std::string& dir);

} // namespace tralvik::run
