#include "formats/textout.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "core/savefile.h"

namespace tralvik::formats {

namespace {

// The code points of Windows-1252 bytes 0x80..0x9F (0 where the byte is unused).
constexpr unsigned kHigh1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char CodePointTo1252(unsigned cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (unsigned i = 0; i < 32; ++i)
        if (kHigh1252[i] == cp && cp != 0) return static_cast<char>(0x80 + i);
    throw std::runtime_error("character U+" + std::to_string(cp) + " has no Windows-1252 byte");
}

} // namespace

std::string Utf8To1252(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        unsigned cp = 0;
        int extra = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            throw std::runtime_error("text is not valid UTF-8");
        }
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= utf8.size()) throw std::runtime_error("text is not valid UTF-8");
            unsigned char d = static_cast<unsigned char>(utf8[i + k]);
            if ((d & 0xC0) != 0x80) throw std::runtime_error("text is not valid UTF-8");
            cp = (cp << 6) | (d & 0x3F);
        }
        out += CodePointTo1252(cp);
        i += 1 + extra;
    }
    return out;
}

std::string Fixed(double value, int decimals) {
    // snprintf follows the C locale, which the tools never change: '.' separator.
    // As long as the number needs: 1e300 has 301 digits before the point.
    const int n = std::snprintf(nullptr, 0, "%.*f", decimals, value);
    std::string s(static_cast<std::size_t>(n > 0 ? n : 0) + 1, '\0');
    std::snprintf(s.data(), s.size(), "%.*f", decimals, value);
    s.resize(s.size() - 1);
    if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-') s.erase(0, 1); // no "-0.00"
    return s;
}

std::string CrlfFile::Bytes() const {
    std::string bytes;
    for (const auto& l : lines_) {
        bytes += l;
        bytes += "\r\n";
    }
    return bytes;
}

void CrlfFile::Write(const std::string& path) const {
    WriteBytes(path, Bytes());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    if (path.empty()) throw std::runtime_error("cannot write a file with no name");
    try {
        WriteFileReplacingPath(path, bytes);
    } catch (const IoError& e) {
        throw std::runtime_error("cannot write " + path + ": " + e.text());
    }
}

void WriteFilesTogether(const std::string& folder,
                        const std::vector<std::pair<std::string, std::string>>& files) {
    namespace fs = std::filesystem;
    MakeDirs(folder);
    const std::string tag = ".tralvik-new-" + std::to_string(::getpid());
    std::vector<fs::path> aside;
    auto removeAside = [&] {
        std::error_code ec;
        for (const fs::path& p : aside) fs::remove(p, ec);
    };
    try {
        for (const auto& [name, bytes] : files) {
            const fs::path target = fs::path(folder) / name;
            std::error_code ec;
            // A device or a pipe in the folder is written through at the end.
            if (fs::exists(target, ec) && !fs::is_regular_file(target, ec)) continue;
            aside.push_back(fs::path(folder) / ("." + name + tag));
            WriteBytes(aside.back().string(), bytes);
        }
        std::size_t k = 0;
        for (const auto& [name, bytes] : files) {
            const fs::path target = fs::path(folder) / name;
            std::error_code ec;
            if (fs::exists(target, ec) && !fs::is_regular_file(target, ec)) {
                WriteBytes(target.string(), bytes);
                continue;
            }
            fs::rename(aside[k++], target, ec);
            if (ec) throw std::runtime_error("cannot write " + target.string() + ": " + ec.message());
        }
    } catch (...) {
        removeAside();
        throw;
    }
}

std::string ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot open " + path);
    std::ostringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void MakeDirs(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec) throw std::runtime_error("cannot create folder " + path + ": " + ec.message());
}

} // namespace tralvik::formats
