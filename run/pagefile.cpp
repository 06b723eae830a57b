// Writing the report pages and their charts: whole files or none (no Qt).
#include <filesystem>

#include "run/pagefile.h"
#include "core/savefile.h"

namespace tralvik::run {

bool WritePageFile(const std::string& path, const std::string& text, std::string& error) {
    try {
        WriteFileReplacingPath(path, text);
        return true;
    } catch (const IoError& e) {
        error = "cannot write " + path + ": " + e.text();
        return false;
    }
}

bool WriteChartFiles(const std::string& dir, const ChartFiles& files, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        error = "cannot make the folder " + dir + ": " + ec.message();
        return false;
    }
    for (const ChartFile& f : files)
        if (!WritePageFile((std::filesystem::path(dir) / f.name).string(), f.svg, error))
            return false;
    return true;
}

} // namespace tralvik::run
