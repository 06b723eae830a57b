// Table files held in memory for the look-ups TABR1 and TABR2.
//
// A look-up's answer is decided by a scan of the file from its start, word by
// word. That scan's path does not depend on the input value, only where it
// stops does: for TABR1 the rows a table meets for one result column are the
// same whatever x is asked, and TABR2's column list and, for each column
// index, its rows are fixed as well. So each file is read once, and for each
// table (and column) the scan is run once to the end of the file, recording
// every row it meets and where it would run off the file. A look-up is then a
// binary search over the running maximum of the recorded inputs (the scan
// stops at the first input above the asked one), followed by the same
// interpolation on the same numbers: results and failures are bit for bit
// those of the scan, quirks included.
//
// Whether a file changed is asked of the file system once per tick (and at
// every look-up made outside a tick): a changed file is read and parsed
// again, a vanished one fails as an open would. The kernel is asked to watch
// each file and its folder (inotify), so the question costs one read of the
// watch's queue per tick, not a path look-up per file, and the kernel also
// signals (SIGIO) when that queue gets an event, so a tick in which no notice
// came does not even read it. Where no watch can be set, the file's status is
// compared instead.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/common.h"

namespace tralvik {

struct Sim;

// Only 30 columns of a TABR2 row are read.
constexpr int kMaxTableColumns = 30;

// TABR1's result from the row pair around x.
inline double Interpolate1(char mode, double x, double X0, double Y0, double X1, double Y1) {
    if (X1 == X0) return Y0;
    if (mode == '+') return Y1;
    if (mode == '-') return Y0;
    return Y0 + (Y1 - Y0) * (x - X0) / (X1 - X0);
}

// TABR2's result from the two columns and two rows around (colin, rowin).
inline double Interpolate2(char colmode, double colin, double X0, double X1, char rowmode,
                           double rowin, double Y0, double Y1, double Z00, double Z01, double Z10,
                           double Z11) {
    double A0, A1;
    if (X1 == X0) {
        A0 = Z00;
        A1 = Z10;
    } else if (colmode == '+') {
        A0 = Z01;
        A1 = Z11;
    } else if (colmode == '-') {
        A0 = Z00;
        A1 = Z10;
    } else {
        A0 = Z00 + (Z01 - Z00) * (colin - X0) / (X1 - X0);
        A1 = Z10 + (Z11 - Z10) * (colin - X0) / (X1 - X0);
    }
    if (Y1 == Y0) return A0;
    if (rowmode == '+') return A1;
    if (rowmode == '-') return A0;
    return A0 + (A1 - A0) * (rowin - Y0) / (Y1 - Y0);
}

// One table file's bytes and the rows its tables were found to have.
class TableImage {
  public:
    explicit TableImage(std::string bytes);
    ~TableImage();

    // Empty where the scan runs off the file.
    std::optional<double> Lookup1(std::string_view table, char mode, double x, int column);
    std::optional<double> Lookup2(std::string_view table, char colmode, double colin,
                                  double rowin, char rowmode);

    struct Rows1;
    struct Columns2;
    struct Rows2;

  private:
    const Rows1& Find1(std::string_view table, int column);
    Columns2& Find2(std::string_view table);
    const Rows2& RowsFor(Columns2& c, std::size_t i);

    std::string bytes_;
    std::vector<std::unique_ptr<Rows1>> t1_;
    std::vector<std::unique_ptr<Columns2>> t2_;
};

// The table files a simulation has read, by the name the look-ups were given.
class TableStore {
  public:
    TableStore();
    ~TableStore();
    // The file's parsed image, read anew when the file changed since it was
    // last asked (at most once per tick). Throws IoError as opening would.
    TableImage& Get(const Text& file);

    // A tick is under way: each file is asked about once until it ends.
    void BeginTick() {
        ++epoch_;
        inTick_ = true;
    }
    void EndTick() { inTick_ = false; }

  private:
    struct Entry;
    void Watch(Entry& e, const std::string& fsPath);
    void TakeEvents();

    std::vector<std::unique_ptr<Entry>> entries_;
    uint64_t epoch_ = 1;
    uint64_t eventsTaken_ = 0; // the tick whose events were last taken
    bool inTick_ = false;
    int watchFd_ = -2; // -2: not yet asked for; -1: none to be had
    bool notices_ = false;     // the kernel signals events on watchFd_
    uint64_t noticesSeen_ = 0; // the notice count at the last read
};

// Marks a tick for the table store for as long as it lives.
class TableTick {
  public:
    explicit TableTick(TableStore& t) : t_(t) { t_.BeginTick(); }
    ~TableTick() { t_.EndTick(); }
    TableTick(const TableTick&) = delete;
    TableTick& operator=(const TableTick&) = delete;

  private:
    TableStore& t_;
};

} // namespace tralvik
