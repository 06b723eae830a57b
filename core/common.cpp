#include "core/common.h"

#include <cerrno>

namespace tralvik {

std::string IoErrorText(int err) {
    switch (err) {
    case ENOENT: return "File not found";
    case ENOTDIR: return "Path not found";
    case EMFILE:
    case ENFILE: return "Too many open files";
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return "File access denied";
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return "Disk full"; // no room for the file, whatever the limit was
    case EINVAL: return "Invalid file name";
    default: return "I/O error " + std::to_string(err);
    }
}

void ThrowTooLarge(const std::string& file, long long limit) {
    const std::string size = limit >= (1LL << 20) ? std::to_string(limit >> 20) + " MB"
                                                  : std::to_string(limit) + " bytes";
    throw IoError("File too large (more than " + size + ")", file);
}

void ThrowIo(int err, const std::string& file) { throw IoError(IoErrorText(err), file); }

} // namespace tralvik
