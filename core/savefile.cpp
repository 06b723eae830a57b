#include "core/savefile.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
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

namespace {

// Writes all of `bytes`; `fail` is called with errno on a failed write and
// does not return.
void WriteAll(int fd, const std::string& bytes, const std::function<void(int)>& fail) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        done += static_cast<std::size_t>(w);
    }
}

void WriteThrough(const std::string& target, const std::string& shown, const std::string& bytes) {
    // Not waiting for a reader that may never come.
    int fd = ::open(target.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) ThrowIo(errno, shown);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    WriteAll(fd, bytes, [&](int err) {
        ::close(fd);
        ThrowIo(err ? err : EIO, shown);
    });
    if (::close(fd) != 0) ThrowIo(errno, shown);
}

void Replace(std::string target, const std::string& shown, const std::string& bytes) {
    if (target.empty()) ThrowIo(ENOENT, shown);

    // A link is followed, so the file it names is replaced and the link kept.
    struct stat old;
    bool exists = ::stat(target.c_str(), &old) == 0;
    const bool stream = target.rfind("/dev/", 0) == 0 || target.rfind("/proc/", 0) == 0;
    if (stream || (exists && !S_ISDIR(old.st_mode) && !S_ISREG(old.st_mode))) {
        // A device, a pipe or the program's own output (/dev/stdout, also
        // when it goes to a file) is written straight through, after what is
        // there: it is no file that could be replaced.
        WriteThrough(target, shown, bytes);
        return;
    }
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
        temp = folder + "/.tralvik-save-" + std::to_string(::getpid()) + "-" +
               std::to_string(n) + ".tmp";
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
    WriteAll(fd, bytes, fail);
    if (::fsync(fd) != 0) fail(errno);
    int closed = ::close(fd);
    fd = -1;
    if (closed != 0) fail(errno);
    if (::rename(temp.c_str(), target.c_str()) != 0) fail(errno);
}

} // namespace

void WriteFileReplacing(const Text& name, const std::string& bytes) {
    Replace(name.empty() ? std::string() : FsPath(name), Cp1252ToUtf8(name), bytes);
}

void WriteFileReplacingPath(const std::string& path, const std::string& bytes) {
    Replace(path, path, bytes);
}

} // namespace tralvik
