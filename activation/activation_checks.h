#pragma once

#include <cstdint>
#include <vector>

#include "outcome.h"
#include "scenery_entry.h"
#include "target_simulator.h"

namespace bfq {

// Sorts layers and sets highestLayer; a strict target refuses a library whose
// highest layer is not its number of areas.
Outcome checkLayerConsistency(std::vector<std::int32_t>& layers, std::size_t entryCount, TargetSimulator target,
                              std::int32_t& highestLayer);

// AlreadyPresent when an entry, the header included, has exactly this title.
Outcome findTitle(const std::vector<SceneryEntry>& entries, const char* title);

}  // namespace bfq
