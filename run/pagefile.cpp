// Writing the report pages and their charts: whole files or none (no Qt).
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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

namespace {

// The folder a new entry `path` would go in, and whether it can.
std::optional<std::string> FolderProblem(const std::filesystem::path& path) {
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        return "its folder " + folder.string() + " does not exist";
    if (::access(folder.c_str(), W_OK) != 0) return "its folder " + folder.string() + " cannot be written in: " + IoErrorText(errno);
    return std::nullopt;
}

} // namespace

std::optional<std::string> OutputFileProblem(const std::string& path) {
    if (path.empty()) return "no file name given";
    std::error_code ec;
    const auto st = std::filesystem::status(path, ec);
    if (std::filesystem::is_directory(st)) return "cannot write " + path + ": it is a folder";
    if (std::filesystem::exists(st) && !std::filesystem::is_regular_file(st)) return std::nullopt; // a device, a pipe
    if (auto why = FolderProblem(std::filesystem::absolute(path))) return "cannot write " + path + ": " + *why;
    return std::nullopt;
}

std::optional<std::string> TemporaryFolderProblem() {
    std::error_code ec;
    const std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
    const char* env = std::getenv("TMPDIR");
    const std::string shown = env && *env ? std::string(env) + " (TMPDIR)" : tmp.string();
    if (ec) return "the temporary folder " + shown + " does not exist; set TMPDIR to a folder with room";
    if (::access(tmp.c_str(), W_OK | X_OK) != 0)
        return "the temporary folder " + shown + " cannot be written in: " + IoErrorText(errno);
    struct statvfs fs;
    if (::statvfs(tmp.c_str(), &fs) == 0 &&
        static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize < 8ull << 20)
        return "the temporary folder " + shown + " is full (less than 8 MB free) and the runs work in "
               "copies there; set TMPDIR to a folder with room";
    return std::nullopt;
}

std::optional<std::string> OutputFolderProblem(const std::string& dir) {
    if (dir.empty()) return "no folder name given";
    std::error_code ec;
    const auto st = std::filesystem::status(dir, ec);
    if (std::filesystem::exists(st)) {
        if (!std::filesystem::is_directory(st)) return "cannot write into " + dir + ": it is not a folder";
        if (::access(dir.c_str(), W_OK) != 0) return "cannot write into " + dir + ": " + IoErrorText(errno);
        return std::nullopt;
    }
    std::filesystem::path p = std::filesystem::absolute(dir);
    // A folder made with its parents: the first that exists must take it.
    while (p.has_parent_path() && p != p.parent_path() && !std::filesystem::exists(p.parent_path(), ec))
        p = p.parent_path();
    if (auto why = FolderProblem(p)) return "cannot make the folder " + dir + ": " + *why;
    return std::nullopt;
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
