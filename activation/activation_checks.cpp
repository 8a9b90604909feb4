#include "activation_checks.h"

#include <algorithm>
#include <cstring>

namespace bfq {

Outcome checkLayerConsistency(std::vector<std::int32_t>& layers, std::size_t entryCount, TargetSimulator target,
                              std::int32_t& highestLayer) {
    std::sort(layers.begin(), layers.end());
    if (entryCount == 0 || layers.empty()) return Outcome::EmptyLists;
    highestLayer = layers.back();
    const std::size_t areaCount = entryCount - 1;
    const bool matches = highestLayer > 0 && static_cast<std::size_t>(highestLayer) == areaCount;
    if (!matches && hasStrictLayerRule(target)) return Outcome::LayersCorrupt;
    return Outcome::Continue;
}

Outcome findTitle(const std::vector<SceneryEntry>& entries, const char* title) {
    for (const SceneryEntry& entry : entries) {
        if (std::strcmp(entry.title, title) == 0) return Outcome::AlreadyPresent;
    }
    return Outcome::Continue;
}

}  // namespace bfq
