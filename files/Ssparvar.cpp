#include "files/Ssparvar.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/numformat.h"
#include "core/paths.h"

namespace tralvik {

std::string FormatSnapshotReal(double v) {
    // Plain from 0.00001 up to 15 integer digits.
    return FormatGeneral15(v, -5);
}

namespace {

// Renders the layout into the file's bytes.
struct SnapshotWriter {
    std::string out;

    void End() { out += "\r\n"; }
    void TextLine(Text& t, std::size_t max) {
        // A line feed inside a text would split its line and put every later
        // value at the wrong line; the text ends there instead.
        out += t.substr(0, std::min(max, t.find('\n')));
        End();
    }
    void CharLine(char& c) {
        out += c;
        End();
    }
    void IntLine(int32_t& x) {
        out += std::to_string(x);
        End();
    }
    void IntLine(int16_t& x) {
        out += std::to_string(x);
        End();
    }
    void IntLine(uint8_t& x) {
        out += std::to_string(static_cast<unsigned>(x));
        End();
    }
    void FlagLine(bool& b) {
        out += b ? '1' : '0';
        End();
    }
    void RealLine(double& x) {
        out += FormatSnapshotReal(x);
        End();
    }
    void OmstartLine(bool& b) {
        out += static_cast<char>(b ? 1 : 0);
        End();
    }
    void CykelfilLine(Text& t) { TextLine(t, kTextMax); }
};

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes `bytes` to `name`: first in full to a new file in the target's
// folder, flushed to the disk, then renamed over the target. Until the rename
// an earlier file of that name stays whole.
void WriteReplacing(const Text& name, const std::string& bytes) {
    std::string shown = Cp1252ToUtf8(name);
    if (name.empty()) ThrowIo(ENOENT, shown);
    std::string target = FsPath(name);

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
        temp = folder + "/.tralvik-snapshot-" + std::to_string(::getpid()) + "-" +
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

} // namespace

void SaveSnapshot(Sim& s) {
    SnapshotWriter w;
    SnapshotLayout(s, w);
    WriteReplacing(s.Sparfil, w.out);
}

} // namespace tralvik
