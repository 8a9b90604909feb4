#pragma once

#include <cstdint>
#include <vector>

#include "outcome.h"
#include "profile.h"
#include "scenery_entry.h"

namespace bfq {

inline constexpr std::size_t kAreaNameSize = 9;  // "Area.999" and its NUL
inline constexpr std::size_t kSectionTextSize = 1100;
inline constexpr int kLastAreaNumber = 999;

// Names the new area after the file's last section. When that name is taken,
// the area takes the number after the highest Area.<digits> section, so no
// existing area is ever overwritten. No number is given past kLastAreaNumber.
Outcome nextAreaName(const std::vector<SceneryEntry>& entries, char (&name)[kAreaNameSize]);

// The new area's keys as NUL-separated key=value strings closed by an extra NUL.
Outcome composeAreaSection(const char* title, const char* path, std::int32_t highestLayer,
                           char (&sectionText)[kSectionTextSize]);

Outcome writeArea(platform::Profile& library, const char* name, const char* sectionText);

}  // namespace bfq
