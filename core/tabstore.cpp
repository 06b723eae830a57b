#include "core/tabstore.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <limits>

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "core/paths.h"
#include "core/tabread.h"

namespace tralvik {

// Every row the TABR1 scan of one table meets for one column, in file order,
// with the values the scan holds after reading it.
struct TableImage::Rows1 {
    std::string table;
    int column = 0;
    bool headerFails = false; // the scan runs off the file before the first row
    std::vector<double> x, y;
    std::vector<double> xMax; // running maximum of x
    mutable std::size_t hint = 0; // the row the last look-up stopped at
};

// TABR2's rows for one column index: values of columns i-1 and i.
struct TableImage::Rows2 {
    std::vector<double> y, z0, z1;
    std::vector<double> yMax;
    mutable std::size_t hint = 0;
    // Whether the scan goes on after the last recorded row (false: it stops
    // there, after a row of more than 30 words or at the end of the file;
    // true: reading the next row runs off the file).
    bool endsByFailure = false;
};

// TABR2's column inputs of one table, with the position after each.
struct TableImage::Columns2 {
    std::string table;
    bool headerFails = false;
    std::vector<double> c, cMax;    // columns 1..M at index 0..M-1
    std::vector<std::size_t> pos;   // position after column k (pos[0]: after the header)
    bool endsByFailure = false;     // reading column M+1 runs off the file
    std::size_t hint = 0;
    std::vector<std::unique_ptr<Rows2>> rows; // by column index, made when first asked
};

TableImage::TableImage(std::string bytes) : bytes_(std::move(bytes)) {}
TableImage::~TableImage() = default;

namespace {

// The first index whose running maximum is above `v` (`above`), or not below
// it; successive look-ups ask for nearby values, so the last answer is
// tried first.
template <bool above>
std::size_t FirstPast(const std::vector<double>& m, double v, std::size_t& hint) {
    auto past = [v](double e) { return above ? v < e : !(e < v); };
    const std::size_t n = m.size();
    std::size_t k = hint;
    if (k <= n && (k == n || past(m[k])) && (k == 0 || !past(m[k - 1]))) return k;
    k = above ? static_cast<std::size_t>(std::upper_bound(m.begin(), m.end(), v) - m.begin())
              : static_cast<std::size_t>(std::lower_bound(m.begin(), m.end(), v) - m.begin());
    hint = k;
    return k;
}

// The scan from TABR1's header to the end of the file, for one column.
void Record1(const std::string& bytes, TableImage::Rows1& r) {
    const std::string_view tableName = r.table;
    const bool firstTable = tableName == "0";
    TabCursor f(bytes);
    for (;;) {
        if (f.AtLineEnd()) f.ConsumeOne();
        TabWord w = f.ReadWord();
        if (f.Eof()) {
            r.headerFails = true;
            return;
        }
        if (!IsTableHeader(w)) continue;
        TabWord name = w;
        if (!f.AtLineEnd()) name = f.ReadWord();
        f.ConsumeOne();
        f.SkipLine();
        if (f.Eof()) {
            r.headerFails = true;
            return;
        }
        if (firstTable || name.View() == tableName) break;
    }

    double X1 = 0, Y1 = 0, top = -std::numeric_limits<double>::infinity();
    for (;;) {
        for (;;) {
            if (f.AtLineEnd()) f.ConsumeOne();
            TabWord w = f.ReadWord();
            bool converts = ConvertWord(w, X1);
            if (f.Eof()) return;
            if (converts) break;
        }
        if (r.column == 0) {
            Y1 = X1;
            f.SkipLine();
            if (f.Eof()) return;
        } else {
            for (int count = 1;; ++count) {
                TabWord w = f.ReadWord();
                if (f.Eof()) return;
                if (count == r.column) {
                    Y1 = WordValue(w);
                    f.SkipLine();
                    if (f.Eof()) return;
                    break;
                }
                if (w.endedLine) break;
            }
        }
        top = std::max(top, X1);
        r.x.push_back(X1);
        r.y.push_back(Y1);
        r.xMax.push_back(top);
    }
}

// The scan from TABR2's header through every column input it would read.
void Record2(const std::string& bytes, TableImage::Columns2& c) {
    const std::string_view tableName = c.table;
    const bool firstTable = tableName == "0";
    TabCursor f(bytes);
    if (f.Eof()) {
        c.headerFails = true;
        return;
    }
    bool haveFirst = false;
    TabWord first;
    for (;;) {
        if (f.Eof()) break;
        if (haveFirst && IsTableHeader(first)) break;
        first = f.ReadWord();
        haveFirst = true;
        TabWord next;
        if (!f.AtLineEnd()) next = f.ReadWord();
        if (f.Eof()) {
            c.headerFails = true;
            return;
        }
        if (first.n > 0 && (firstTable || next.View() == tableName)) continue;
        haveFirst = false;
        f.SkipLine();
        if (f.Eof()) {
            c.headerFails = true;
            return;
        }
    }

    double X1 = 0, top = -std::numeric_limits<double>::infinity();
    c.pos.push_back(static_cast<std::size_t>(f.Pos() - bytes.data()));
    while (!f.AtLineEnd()) {
        for (;;) {
            if (f.AtLineEnd()) f.SkipLine();
            TabWord w = f.ReadWord();
            bool converts = ConvertWord(w, X1);
            if (f.Eof()) {
                c.endsByFailure = true;
                return;
            }
            if (converts) break;
        }
        top = std::max(top, X1);
        c.c.push_back(X1);
        c.cMax.push_back(top);
        c.pos.push_back(static_cast<std::size_t>(f.Pos() - bytes.data()));
    }
}

// TABR2's rows from the position after column `i` to where the scan ends.
void RecordRows2(const std::string& bytes, std::size_t start, int i, TableImage::Rows2& r) {
    TabCursor f(bytes.data() + start, bytes.data() + bytes.size());
    double Y1 = 0, Z10 = 0, Z11 = 0, top = -std::numeric_limits<double>::infinity();
    bool stopped = false;
    while (!stopped && !f.Eof()) {
        for (;;) {
            f.SkipLine();
            TabWord w = f.ReadWord();
            bool converts = ConvertWord(w, Y1);
            if (f.Eof()) {
                r.endsByFailure = true;
                return;
            }
            if (converts) break;
        }
        for (int count = 1;; ++count) {
            TabWord w = f.ReadWord();
            if (f.Eof()) {
                r.endsByFailure = true;
                return;
            }
            if (count == i - 1) Z10 = WordValue(w);
            bool rowEnds = false;
            if (count == i) {
                Z11 = WordValue(w);
                f.SkipLine();
                if (f.Eof()) {
                    r.endsByFailure = true;
                    return;
                }
                rowEnds = true;
            } else if (w.endedLine) {
                rowEnds = true;
            }
            if (count > kMaxTableColumns) {
                stopped = true;
                rowEnds = true;
            }
            if (rowEnds) break;
        }
        top = std::max(top, Y1);
        r.y.push_back(Y1);
        r.z0.push_back(Z10);
        r.z1.push_back(Z11);
        r.yMax.push_back(top);
    }
}

} // namespace

namespace {

// Table names are a character or two: compared inline, not by a library call.
inline bool SameName(const std::string& a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (a[k] != b[k]) return false;
    return true;
}

} // namespace

const TableImage::Rows1& TableImage::Find1(std::string_view table, int column) {
    for (const auto& r : t1_)
        if (r->column == column && SameName(r->table, table)) return *r;
    auto r = std::make_unique<Rows1>();
    r->table = table;
    r->column = column;
    Record1(bytes_, *r);
    t1_.push_back(std::move(r));
    return *t1_.back();
}

TableImage::Columns2& TableImage::Find2(std::string_view table) {
    for (const auto& c : t2_)
        if (SameName(c->table, table)) return *c;
    auto c = std::make_unique<Columns2>();
    c->table = table;
    Record2(bytes_, *c);
    c->rows.resize(c->pos.size());
    t2_.push_back(std::move(c));
    return *t2_.back();
}

const TableImage::Rows2& TableImage::RowsFor(Columns2& c, std::size_t i) {
    if (!c.rows[i]) {
        c.rows[i] = std::make_unique<Rows2>();
        RecordRows2(bytes_, c.pos[i], static_cast<int>(i), *c.rows[i]);
    }
    return *c.rows[i];
}

std::optional<double> TableImage::Lookup1(std::string_view table, char mode, double x,
                                          int column) {
    const Rows1& r = Find1(table, column);
    if (r.headerFails) return std::nullopt;
    double X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
    if (X1 <= x) {
        // The scan reads rows while the last x read is not above the input.
        const std::size_t k = FirstPast<true>(r.xMax, x, r.hint);
        if (k == r.xMax.size()) return std::nullopt;
        X1 = r.x[k];
        Y1 = r.y[k];
        if (k > 0) {
            X0 = r.x[k - 1];
            Y0 = r.y[k - 1];
        }
    }
    return Interpolate1(mode, x, X0, Y0, X1, Y1);
}

std::optional<double> TableImage::Lookup2(std::string_view table, char colmode, double colin,
                                          double rowin, char rowmode) {
    Columns2& c = Find2(table);
    if (c.headerFails) return std::nullopt;

    // The column index: the first column input not below colin, or the last
    // one read before the line ended.
    std::size_t i = 0;
    double X0 = 0, X1 = 0;
    if (X1 < colin) {
        const std::size_t k = FirstPast<false>(c.cMax, colin, c.hint);
        if (k != c.cMax.size()) {
            i = k + 1;
        } else {
            if (c.endsByFailure) return std::nullopt;
            i = c.c.size();
        }
        if (i >= 1) X1 = c.c[i - 1];
        if (i >= 2) X0 = c.c[i - 2];
    }

    const Rows2& r = RowsFor(c, i);
    double Y0 = 0, Y1 = 0;
    double Z00 = 0, Z01 = 0, Z10 = 0, Z11 = 0;
    if (Y1 <= rowin && !(r.y.empty() && !r.endsByFailure)) {
        // The scan reads rows while the last row input is not above rowin,
        // and stops after the last recorded row unless that one is followed
        // by a failure.
        std::size_t k = FirstPast<true>(r.yMax, rowin, r.hint);
        if (k == r.yMax.size()) {
            if (r.endsByFailure) return std::nullopt;
            k = r.y.size() - 1;
        }
        Y1 = r.y[k];
        Z10 = r.z0[k];
        Z11 = r.z1[k];
        if (k > 0) {
            Y0 = r.y[k - 1];
            Z00 = r.z0[k - 1];
            Z01 = r.z1[k - 1];
        }
    }
    return Interpolate2(colmode, colin, X0, X1, rowmode, rowin, Y0, Y1, Z00, Z01, Z10, Z11);
}

// ---------------------------------------------------------------------------

struct TableStore::Entry {
    Text name;            // as the look-ups were given it (cut to 250)
    bool regular = false; // a regular file whose identity is known
    struct stat st {};
    uint64_t checked = 0; // the tick it was last asked about
    // Watches on the file and on its folder; while both are set and no event
    // came for them, the file is as it was read.
    int wdFile = -1, wdDir = -1;
    bool changed = true;
    bool written = false; // the kernel saw it written since it was read
    std::unique_ptr<TableImage> image;
};

namespace {

// How many times the kernel said that a watch queue got events (SIGIO). A
// tick reads its queue only when this moved, so a tick in which nothing
// changed makes no system call. The signal's disposition is the process's,
// hence one counter for every store.
std::atomic<uint64_t> gWatchNotices{0};
static_assert(std::atomic<uint64_t>::is_always_lock_free);

extern "C" void OnWatchNotice(int) { gWatchNotices.fetch_add(1, std::memory_order_relaxed); }

// Takes SIGIO for the counter, unless the program handles or ignores it.
bool WatchNoticesInstalled() {
    static const bool installed = [] {
        struct sigaction old {};
        if (::sigaction(SIGIO, nullptr, &old) != 0) return false;
        if (old.sa_handler == OnWatchNotice) return true;
        if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) return false;
        struct sigaction sa {};
        sa.sa_handler = OnWatchNotice;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART; // reads and writes elsewhere go on as if nothing came
        return ::sigaction(SIGIO, &sa, nullptr) == 0;
    }();
    return installed;
}

// The kernel signals this process when the watch queue gets an event; false
// where it cannot, or where this thread would never take the signal.
bool AskForNotices(int fd) {
    if (!WatchNoticesInstalled()) return false;
    sigset_t blocked;
    if (::pthread_sigmask(SIG_BLOCK, nullptr, &blocked) != 0 || sigismember(&blocked, SIGIO))
        return false;
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETOWN, ::getpid()) == 0 &&
           ::fcntl(fd, F_SETFL, flags | O_ASYNC) == 0;
}

} // namespace

TableStore::TableStore() = default;
TableStore::~TableStore() {
    if (watchFd_ >= 0) ::close(watchFd_);
}

void TableStore::Watch(Entry& e, const std::string& fsPath) {
    e.wdFile = e.wdDir = -1;
    if (watchFd_ == -2) {
        watchFd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        // Before the first watch, so that no event comes unannounced.
        if (watchFd_ >= 0) notices_ = AskForNotices(watchFd_);
    }
    if (watchFd_ < 0) return;
    // Writes, truncation, removal and renames of the file itself; a file made,
    // moved in or removed in its folder (a replacement, another letter case).
    e.wdFile = ::inotify_add_watch(watchFd_, fsPath.c_str(),
                                   IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF |
                                       IN_MOVE_SELF);
    auto slash = fsPath.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : fsPath.substr(0, slash ? slash : 1);
    e.wdDir = ::inotify_add_watch(watchFd_, dir.c_str(),
                                  IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                      IN_DELETE_SELF | IN_MOVE_SELF);
}

void TableStore::TakeEvents() {
    if (watchFd_ < 0) return;
    if (notices_) {
        // Counted before the read: an event queued after it signals anew.
        const uint64_t n = gWatchNotices.load(std::memory_order_acquire);
        if (n == noticesSeen_) return;
        noticesSeen_ = n;
    }
    alignas(inotify_event) char buf[4096];
    for (;;) {
        ssize_t n = ::read(watchFd_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        for (ssize_t k = 0; k < n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buf + k);
            for (auto& e : entries_) {
                if (ev->mask & IN_Q_OVERFLOW || ev->wd == e->wdFile || ev->wd == e->wdDir)
                    e->changed = true;
                // The file itself was written: its status may look the same
                // (same size, a time stamp within the clock's last tick).
                if (ev->wd == e->wdFile && (ev->mask & (IN_MODIFY | IN_CLOSE_WRITE)))
                    e->written = true;
            }
            k += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
        }
    }
}

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// A simulation reads two table files; a few more are kept for the panels'
// and the tests' sake, the oldest dropped first.
constexpr std::size_t kKeptFiles = 8;

} // namespace

TableImage& TableStore::Get(const Text& file) {
    const std::string_view name(file.data(), std::min(file.size(), kTextMax));
    Entry* e = nullptr;
    for (auto& p : entries_) {
        if (p->name == name) {
            e = p.get();
            break;
        }
    }
    if (e && inTick_ && e->checked == epoch_) return *e->image;
    if (!inTick_ || eventsTaken_ != epoch_) {
        TakeEvents();
        eventsTaken_ = epoch_;
    }
    if (e && e->regular && !e->changed && e->wdFile >= 0 && e->wdDir >= 0) {
        e->checked = epoch_;
        return *e->image;
    }

    // Watch, then ask, then read: a change made while the file is read is
    // seen at the next check.
    const Text cut(name);
    const std::string fs = cut.empty() ? std::string() : FsPath(cut);
    Entry probe;
    if (!fs.empty()) Watch(e ? *e : probe, fs);
    struct stat now {};
    const bool regular = !fs.empty() && ::stat(fs.c_str(), &now) == 0 && S_ISREG(now.st_mode);
    if (e && e->regular && regular && !e->written && SameFile(e->st, now)) {
        e->changed = false;
        e->checked = epoch_;
        return *e->image;
    }
    auto image = std::make_unique<TableImage>(LoadTableBytes(cut));
    if (!e) {
        if (entries_.size() >= kKeptFiles) entries_.erase(entries_.begin());
        entries_.push_back(std::make_unique<Entry>());
        e = entries_.back().get();
        e->name = cut;
        e->wdFile = probe.wdFile;
        e->wdDir = probe.wdDir;
    }
    e->changed = e->written = false;
    e->regular = regular;
    e->st = now;
    e->checked = epoch_;
    e->image = std::move(image);
    return *e->image;
}

} // namespace tralvik
