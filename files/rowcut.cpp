#include "files/rowcut.h"

#include <cerrno>
#include <optional>
#include <stdio_ext.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/paths.h"
#include "files/RRFIL.h"

namespace tralvik {

void CutToLastLine(std::FILE* f) {
    // The bytes on disk are a prefix of what was written, so everything up
    // to the last line feed there is whole lines.
    ::__fpurge(f);
    int fd = ::fileno(f);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) return;
    off_t pos = st.st_size, keep = 0;
    char buf[4096];
    while (pos > 0 && keep == 0) {
        off_t n = pos < static_cast<off_t>(sizeof buf) ? pos : static_cast<off_t>(sizeof buf);
        pos -= n;
        if (::pread(fd, buf, static_cast<size_t>(n), pos) != n) return; // leave it as it is
        for (off_t i = n; i-- > 0;)
            if (buf[i] == '\n') {
                keep = pos + i + 1;
                break;
            }
    }
    if (keep < st.st_size) (void)!::ftruncate(fd, keep);
}

void CloseResultFiles(Sim& s) {
    std::optional<IoError> failure;
    detail::FinishResultFile(s.results.result, s.Tresultat, failure);
    detail::FinishResultFile(s.results.resultp, s.Tresultatp, failure);
    if (failure) throw *failure;
}

} // namespace tralvik
