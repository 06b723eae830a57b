#include "files/Ggetvari.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <string_view>

#include "config/Ffetch.h"
#include "core/inputfile.h"
#include "core/paths.h"
#include "files/Ssparvar.h"

namespace tralvik {

static std::string_view Trimmed(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    return t;
}

int32_t SnapshotInteger(const std::string& line) {
    const Text text = CommaToPoint(line);
    std::string_view t = Trimmed(text);
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    if (t.empty()) return 0;
    int64_t v = 0;
    auto r = std::from_chars(t.data(), t.data() + t.size(), v, 10);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return 0;
    if (v < INT32_MIN || v > INT32_MAX) return 0;
    return static_cast<int32_t>(v);
}

double SnapshotReal(const std::string& line) {
    const Text text = CommaToPoint(line);
    std::string_view t = Trimmed(text);
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    if (t.empty()) return 0;
    double v = 0;
    auto r = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return 0;
    return v;
}

namespace {

// Walks the file's lines; a line ends at LF, a CR before it is dropped.
class SnapshotReader {
  public:
    SnapshotReader(std::string bytes, Text name)
        : data_(std::move(bytes)), name_(std::move(name)) {}

    void TextLine(Text& t, std::size_t max) {
        std::string_view l = NextLine();
        t = std::string(l.substr(0, max));
    }
    void CharLine(char& c) {
        Begin();
        // The value byte may itself be LF or CR ("\n\r\n", "\r\r\n"): it is
        // taken before the line end is looked for.
        if (data_.compare(pos_, 3, "\n\r\n") == 0) {
            c = '\n';
            pos_ += 3;
            return;
        }
        std::string_view l = Rest();
        c = l.empty() ? '\0' : l.front();
    }
    void IntLine(int32_t& x) { x = SnapshotInteger(std::string(NextLine())); }
    void IntLine(int16_t& x) {
        x = static_cast<int16_t>(static_cast<uint16_t>(SnapshotInteger(std::string(NextLine()))));
    }
    void IntLine(uint8_t& x) {
        x = static_cast<uint8_t>(SnapshotInteger(std::string(NextLine())) & 0xFF);
    }
    void FlagLine(bool& b) { b = (SnapshotInteger(std::string(NextLine())) & 0xFF) != 0; }
    void RealLine(double& x) { x = SnapshotReal(std::string(NextLine())); }
    void OmstartLine(bool&) {
        Begin();
        // Read over like a character line: its byte may be CR or LF too.
        if (data_.compare(pos_, 3, "\n\r\n") == 0)
            pos_ += 3;
        else
            Rest();
    }
    void CykelfilLine(Text&) { NextLine(); }

  private:
    std::string data_;
    Text name_;
    std::size_t pos_ = 0;
    int line_ = 0; // number of the line being read

    // Starts the next line; a file that has ended here is reported, so the
    // reading never goes on out of step with the layout.
    void Begin() {
        ++line_;
        if (pos_ >= data_.size())
            throw IoError("Unexpected end of file at line " + std::to_string(line_),
                          Cp1252ToUtf8(name_));
    }
    // The rest of the current line, without its line end; moves past it.
    std::string_view Rest() {
        std::size_t end = data_.find('\n', pos_);
        std::size_t next = end == std::string::npos ? data_.size() : end + 1;
        if (end == std::string::npos) end = data_.size();
        std::string_view l(data_.data() + pos_, end - pos_);
        if (end < data_.size() && !l.empty() && l.back() == '\r') l.remove_suffix(1);
        pos_ = next;
        return l;
    }
    std::string_view NextLine() {
        Begin();
        return Rest();
    }
};

std::string ReadWholeFile(const Text& name) {
    return ReadRegularFile(FsPath(name), Cp1252ToUtf8(name));
}

} // namespace

void LoadSnapshot(Sim& s) {
    Text name = s.Sparfil; // line 98 replaces Sparfil while the file is read
    SnapshotReader r(ReadWholeFile(name), name);
    SnapshotLayout(s, r);
}

} // namespace tralvik
