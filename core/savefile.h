// Saving a whole file so that a failure cannot destroy the file it replaces.
#pragma once

#include <string>
#include <string_view>

#include "core/common.h"

namespace tralvik {

// Writes `bytes` to `name`: first in full to a new file in the target's
// folder, flushed to the disk, then renamed over the target. Until the rename
// an earlier file of that name stays whole, and a failed save removes its
// temporary file. A link is followed (the file it names is replaced), the
// new file keeps the old one's permissions, and a read-only file is not
// replaced. Throws IoError naming `name` when the file cannot be written.
void WriteFileReplacing(const Text& name, const std::string& bytes);

// The same for `path`, a name as the file system takes it (a name given on
// the command line), used as it is.
void WriteFileReplacingPath(const std::string& path, const std::string& bytes);

// The same written in pieces, for a file too large to be held whole: the
// target is replaced at Commit(); a writer destroyed before it leaves the
// earlier file as it was and removes its own. A device or pipe is written
// through as it comes. Every failure throws IoError naming the path.
class ReplacingWriter {
  public:
    explicit ReplacingWriter(const std::string& path);
    ReplacingWriter(std::string target, const std::string& shown);
    ~ReplacingWriter();
    ReplacingWriter(const ReplacingWriter&) = delete;
    ReplacingWriter& operator=(const ReplacingWriter&) = delete;
    void Write(std::string_view bytes);
    void Commit();

  private:
    [[noreturn]] void Fail(int err);
    void Flush();
    static constexpr std::size_t kBuffer = 1 << 16;
    std::string target_, shown_, temp_, buffer_;
    int fd_ = -1;
    bool through_ = false;
};

} // namespace tralvik
