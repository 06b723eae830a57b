// Keeping the result files to whole rows when the disk fills up or a write
// fails otherwise: whatever the row formatter wrote, a file is cut back to
// its last line end, so it never ends in half a row.
#pragma once

#include <cstdio>

#include "core/Vvaria.h"

namespace tralvik {

// After a failed write or flush of `f` (opened for reading too): drops what
// is still buffered and truncates the file after its last line feed. The
// stream stays open; close it next.
void CutToLastLine(std::FILE* f);

// Flushes and closes both result files that are open. A file whose rows
// cannot all be written is cut back to its last whole row. Throws IoError
// naming the first file that failed (both are closed first).
void CloseResultFiles(Sim& s);

} // namespace tralvik
