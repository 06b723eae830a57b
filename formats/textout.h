// Writing the simulator's text files: Windows-1252 bytes, CR LF line ends,
// numbers with '.' as decimal separator whatever the locale.
//
//   formats::WriteBytes("Bil/FORDON.TAB", formats::Utf8To1252(text));
#pragma once

#include <string>
#include <vector>

namespace tralvik::formats {

// UTF-8 (the encoding of the tools' own source texts) to Windows-1252.
// Throws std::runtime_error for a character that Windows-1252 cannot hold.
std::string Utf8To1252(const std::string& utf8);

// Fixed-point formatting with `decimals` digits after '.', independent of locale.
std::string Fixed(double value, int decimals);

// Collects lines and writes them with CR LF ends (and a CR LF after the last).
class CrlfFile {
  public:
    void Line(const std::string& text = {}) { lines_.push_back(text); }
    // Writes the lines; throws std::runtime_error when the file cannot be written.
    void Write(const std::string& path) const;
    const std::vector<std::string>& lines() const { return lines_; }

  private:
    std::vector<std::string> lines_;
};

// Writes raw bytes; throws std::runtime_error on failure.
void WriteBytes(const std::string& path, const std::string& bytes);
// Reads a whole file; throws std::runtime_error on failure.
std::string ReadBytes(const std::string& path);
// Creates a directory and its parents (no error when it exists).
void MakeDirs(const std::string& path);

} // namespace tralvik::formats
