#include "core/inputfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tralvik {

std::FILE* OpenRegularFile(const std::string& path, const std::string& shown) {
    const std::string& name = shown.empty() ? path : shown;
    if (path.empty()) ThrowIo(ENOENT, name);
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) ThrowIo(errno, name);
    struct stat st;
    int err = 0;
    if (::fstat(fd, &st) != 0)
        err = errno ? errno : EIO;
    else if (S_ISDIR(st.st_mode))
        err = EISDIR;
    if (err || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (err) ThrowIo(err, name);
        throw IoError("Not a regular file", name);
    }
    // Regular files never block; reads go on as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) {
        err = errno ? errno : EIO;
        ::close(fd);
        ThrowIo(err, name);
    }
    return f;
}

std::string ReadRegularFile(const std::string& path, const std::string& shown, long long limit) {
    const std::string& name = shown.empty() ? path : shown;
    std::FILE* f = OpenRegularFile(path, shown);
    const int fd = fileno(f);
    struct stat st;
    std::string bytes;
    auto tooLarge = [&] {
        std::fclose(f);
        ThrowTooLarge(name, limit);
    };
    if (::fstat(fd, &st) == 0) {
        if (st.st_size > limit) tooLarge();
        bytes.reserve(static_cast<std::size_t>(st.st_size));
    }
    // The size asked for may change while the file is read: the limit is
    // kept on what is actually read.
    char buf[65536];
    for (;;) {
        ssize_t got = ::read(fd, buf, sizeof buf);
        if (got < 0) {
            if (errno == EINTR) continue;
            const int err = errno ? errno : EIO;
            std::fclose(f);
            ThrowIo(err, name);
        }
        if (got == 0) break;
        if (static_cast<long long>(bytes.size()) + got > limit) tooLarge();
        bytes.append(buf, static_cast<std::size_t>(got));
    }
    std::fclose(f);
    return bytes;
}

} // namespace tralvik
