// The result file: opening and its rows.
#pragma once

#include "core/Vvaria.h"

namespace tralvik {

void OpenResultFiles(Sim& s);
void WriteResultRow(Sim& s);

} // namespace tralvik
