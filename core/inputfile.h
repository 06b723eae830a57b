// Opening and reading the files a run takes in: one way for all of them, so
// that none can block the program or fill its memory.
#pragma once

#include <cstdio>
#include <string>

#include "core/common.h"

namespace tralvik {

// Opens `path` (a name as the file system takes it) for reading, "rb". The
// open itself never waits (a FIFO without a writer would block it for ever),
// and only a regular file is accepted: a folder fails as "File access
// denied", a FIFO, device or socket as "Not a regular file". Failures throw
// IoError naming `shown` (the path itself when empty).
std::FILE* OpenRegularFile(const std::string& path, const std::string& shown = {});

// The whole of such a file. One larger than `limit` bytes is refused
// ("File too large (more than 64 MB)") without being read whole.
std::string ReadRegularFile(const std::string& path, const std::string& shown = {},
                            long long limit = kMaxInputBytes);

} // namespace tralvik
