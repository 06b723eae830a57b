// Saving a whole file so that a failure cannot destroy the file it replaces.
#pragma once

#include <string>

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

} // namespace tralvik
