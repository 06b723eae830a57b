// Result rows formatted straight into one buffer.
#pragma once

#include <cstddef>

namespace tralvik {

// One row of a result file: fifteen fields and CR LF, built in place.
class ResultRow {
  public:
    // Appends a field exactly as ResultField formats it: a blank and the
    // value right-aligned in ten characters with `decimals` decimals,
    // widened when the value needs more.
    void Field(long double value, int decimals);
    void End() {
        buf_[n_++] = '\r';
        buf_[n_++] = '\n';
    }
    const char* data() const { return buf_; }
    std::size_t size() const { return n_; }

  private:
    // A field is at most 401 characters (ResultField's longest), and a row
    // has fifteen of them.
    char buf_[15 * 401 + 2];
    std::size_t n_ = 0;
};

} // namespace tralvik
