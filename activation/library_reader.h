#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "outcome.h"
#include "profile.h"
#include "scenery_entry.h"

namespace bfq {

inline constexpr std::size_t kValueSize = 512;

// Turns every listed section into an entry: the first is the library's header,
// every later one an area whose layer joins layers. title and path are scratch.
Outcome loadLibrary(platform::Profile& library, const std::string& sectionNames, std::vector<SceneryEntry>& entries,
                    std::vector<std::int32_t>& layers, char (&title)[kValueSize], char (&path)[kValueSize]);

}  // namespace bfq
