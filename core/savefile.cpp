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
void WriteAll(int fd, std::string_view bytes, const std::function<void(int)>& fail) {
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

} // namespace

ReplacingWriter::ReplacingWriter(const std::string& path) : ReplacingWriter(path, path) {}

ReplacingWriter::ReplacingWriter(std::string target, const std::string& shown) : shown_(shown) {
    if (target.empty()) ThrowIo(ENOENT, shown_);

    // A link is followed, so the file it names is replaced and the link kept.
    struct stat old;
    bool exists = ::stat(target.c_str(), &old) == 0;
    // The program's own streams are named, not files that could be replaced:
    // /dev/stdout stays the stream also when it goes to a file. Other paths
    // under /dev are files like any (/dev/shm is a common temporary folder).
    const bool stream = target == "/dev/stdout" || target == "/dev/stderr" || target.rfind("/dev/fd/", 0) == 0 ||
                        target.rfind("/proc/", 0) == 0;
    if (stream || (exists && !S_ISDIR(old.st_mode) && !S_ISREG(old.st_mode))) {
        // A device, a pipe or the program's own output (/dev/stdout, also
        // when it goes to a file) is written straight through, after what is
        // there: it is no file that could be replaced.
        // Not waiting for a reader that may never come.
        fd_ = ::open(target.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) ThrowIo(errno, shown_);
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        through_ = true;
        return;
    }
    if (exists) {
        if (S_ISDIR(old.st_mode)) ThrowIo(EACCES, shown_);
        // A read-only file is not replaced behind its owner's back.
        if (::access(target.c_str(), W_OK) != 0) ThrowIo(errno, shown_);
        if (char* real = ::realpath(target.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    target_ = target;
    std::string folder = FolderOf(target);
    for (int n = 0; fd_ < 0; ++n) {
        temp_ = folder + "/.tralvik-save-" + std::to_string(::getpid()) + "-" +
                std::to_string(n) + ".tmp";
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && (errno != EEXIST || n >= 100)) ThrowIo(errno, shown_);
    }
    // The new file keeps the permissions of the one it replaces.
    if (exists) (void)::fchmod(fd_, old.st_mode & 07777);
}

ReplacingWriter::~ReplacingWriter() {
    if (fd_ >= 0) ::close(fd_);
    if (!through_ && !temp_.empty()) ::unlink(temp_.c_str());
}

void ReplacingWriter::Fail(int err) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!through_ && !temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    ThrowIo(err ? err : EIO, shown_);
}

void ReplacingWriter::Write(std::string_view bytes) {
    if (fd_ < 0) ThrowIo(EBADF, shown_);
    // Gathered into large writes: a table comes a line at a time.
    buffer_.append(bytes);
    if (buffer_.size() >= kBuffer) Flush();
}

void ReplacingWriter::Flush() {
    WriteAll(fd_, buffer_, [this](int err) { Fail(err); });
    buffer_.clear();
}

void ReplacingWriter::Commit() {
    if (fd_ < 0) ThrowIo(EBADF, shown_);
    Flush();
    if (!through_ && ::fsync(fd_) != 0) Fail(errno);
    int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) Fail(errno);
    if (through_) return;
    if (::rename(temp_.c_str(), target_.c_str()) != 0) Fail(errno);
    temp_.clear();
}

namespace {

void Replace(const std::string& target, const std::string& shown, const std::string& bytes) {
    ReplacingWriter w(target, shown);
    w.Write(bytes);
    w.Commit();
}

} // namespace

void WriteFileReplacing(const Text& name, const std::string& bytes) {
    Replace(name.empty() ? std::string() : FsPath(name), Cp1252ToUtf8(name), bytes);
}

void WriteFileReplacingPath(const std::string& path, const std::string& bytes) {
    Replace(path, path, bytes);
}

} // namespace tralvik
