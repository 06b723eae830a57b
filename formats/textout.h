// Writing the simulator's text files: Windows-1252 bytes, CR LF line ends,
// numbers with '.' as decimal separator whatever the locale.
//
//   formats::WriteBytes("Bil/FORDON.TAB", formats::Utf8To1252(text));
#pragma once

#include <string>
#include <utility>
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
    // The file's bytes: every line ended by CR LF.
    std::string Bytes() const;
    const std::vector<std::string>& lines() const { return lines_; }

  private:
    std::vector<std::string> lines_;
};

// Writes raw bytes through the one output path of every program: a regular
// file is replaced whole (written aside, flushed, renamed over it), a
// device, a pipe or the program's own stream is written through and never
// replaced. Throws std::runtime_error "cannot write PATH: reason".
void WriteBytes(const std::string& path, const std::string& bytes);

// Files of one folder written together (name within the folder, bytes):
// every file is on the disk aside before the first is put in place, so a
// failure (a full disk) leaves the folder's old files as they were. Makes
// the folder when missing; other files in it are left alone.
void WriteFilesTogether(const std::string& folder,
                        const std::vector<std::pair<std::string, std::string>>& files);
// Reads a whole file; throws std::runtime_error on failure.
std::string ReadBytes(const std::string& path);
// Creates a directory and its parents (no error when it exists).
void MakeDirs(const std::string& path);

} // namespace tralvik::formats
