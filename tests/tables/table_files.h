// Test help: a temporary folder for table files, written with CR LF or LF
// line ends, and a simulation whose working directory is that folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/Vvaria.h"

namespace tralvik::testing {

inline std::string Crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tabtestXXXXXX").string();
        char* made = ::mkdtemp(pattern.data());
        if (!made) throw std::runtime_error("mkdtemp failed");
        dir_ = made;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    const std::string& dir() const { return dir_; }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    // Writes `bytes` unchanged; returns the full path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(Path(name), std::ios::binary);
        out << bytes;
        return Path(name);
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(Path(name)); }

  private:
    std::string dir_;
};

// Table tests run once with CR LF and once with bare LF line ends; the
// results must be the same.
class TableFileTest : public ::testing::TestWithParam<bool> {
  protected:
    TableFileTest() { s.Progmapp = tmp.dir(); }
    // `text` is written with "\n" line ends; with the CR LF parameter every
    // "\n" becomes "\r\n".
    std::string Put(const std::string& name, const std::string& text) {
        return tmp.Write(name, GetParam() ? Crlf(text) : text);
    }
    TempFolder tmp;
    Sim s;
};

inline std::string LineEndName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "CrLf" : "Lf";
}

} // namespace tralvik::testing
