// The drive cycle: the cycle reader and the cycle stage.
#pragma once

#include "core/Vvaria.h"

namespace tralvik {

// The cycle reader's open file, kept between calls.
class CycleFile {
  public:
    explicit CycleFile(const Text& name);
    ~CycleFile();
    CycleFile(const CycleFile&) = delete;
    CycleFile& operator=(const CycleFile&) = delete;
    bool AtEnd();
    // Reads six numbers (across lines if needed) and skips the rest of the line.
    CycleRow ReadRow();

  private:
    double ReadNumber();
    std::FILE* f_;
    Text name_;
    long line_ = 1;
};

void ReadCycleRow(Sim& s, const Text& file, double x);
void CycleStage(Sim& s);

} // namespace tralvik
