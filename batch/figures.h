// Moved to the studies library; kept so that existing includes still build.
#pragma once
#include "studies/figures.h"
