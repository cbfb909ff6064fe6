#pragma once
// The engine's option table: the options of the command-line tool in its order,
// followed by the engine's own.

#include <vector>

#include "engine/options/option_def.h"

namespace reelsmith {

inline constexpr int kOptionTableSize = 196;

std::vector<TOptionDef> BuildOptionTable();

}  // namespace reelsmith
