#include "core/savefile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/paths.h"

namespace tralvik {

static std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes `bytes` to the file `target` of the file system; errors name `shown`.
static void Replace(std::string target, const std::string& bytes, const std::string& shown) {
    // A link is followed, so the file it names is replaced and the link kept.
    struct stat old;
    bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists) {
        if (S_ISDIR(old.st_mode)) ThrowIo(EACCES, shown);
        // A read-only file is not replaced behind its owner's back.
        if (::access(target.c_str(), W_OK) != 0) ThrowIo(errno, shown);
        if (char* real = ::realpath(target.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }

    std::string folder = FolderOf(target);
    std::string temp;
    int fd = -1;
    for (int n = 0; fd < 0; ++n) {
        temp = folder + "/.tralvik-save-" + std::to_string(::getpid()) + "-" + std::to_string(n) +
               ".tmp";
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || n >= 100)) ThrowIo(errno, shown);
    }
    // The new file keeps the permissions of the one it replaces.
    if (exists) (void)::fchmod(fd, old.st_mode & 07777);

    auto fail = [&](int err) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        ThrowIo(err ? err : EIO, shown);
    };
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        done += static_cast<std::size_t>(w);
    }
    if (::fsync(fd) != 0) fail(errno);
    int closed = ::close(fd);
    fd = -1;
    if (closed != 0) fail(errno);
    if (::rename(temp.c_str(), target.c_str()) != 0) fail(errno);
}

void WriteFileReplacing(const Text& name, const std::string& bytes) {
    std::string shown = Cp1252ToUtf8(name);
    if (name.empty()) ThrowIo(ENOENT, shown);
    Replace(FsPath(name), bytes, shown);
}

void WritePathReplacing(const std::string& path, const std::string& bytes) {
    if (path.empty()) ThrowIo(ENOENT, path);
    Replace(path, bytes, path);
}

} // namespace tralvik
