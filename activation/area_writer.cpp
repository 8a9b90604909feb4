#include "area_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace bfq {

namespace {

// Section names are compared as Windows compares them: ASCII letters without regard to case.
bool sameName(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        const auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (fold(*a) != fold(*b)) return false;
    }
    return *a == *b;
}

// The number an area name such as "Area.120" carries, or -1 for any other name.
long areaNumber(const char* name) {
    char prefix[6] = {};
    std::strncpy(prefix, name, 5);
    if (!sameName(prefix, "Area.")) return -1;
    const char* digits = name + 5;
    if (*digits == '\0') return -1;
    long number = 0;
    for (const char* p = digits; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return -1;
        if (number <= kLastAreaNumber) number = number * 10 + (*p - '0');  // anything past 999 is simply too high
    }
    return number;
}

bool isNameTaken(const std::vector<SceneryEntry>& entries, const char* name) {
    for (const SceneryEntry& entry : entries) {
        if (sameName(entry.name, name)) return true;
    }
    return false;
}

}  // namespace

Outcome nextAreaName(const std::vector<SceneryEntry>& entries, char (&name)[kAreaNameSize]) {
    // The three characters after "Area." of the last section, read the way atoi reads.
    char lastName[9] = {};
    std::memcpy(lastName, entries.back().name, 8);
    long number = std::atoi(lastName + 5) + 1L;

    char candidate[32] = {};
    std::snprintf(candidate, sizeof candidate, "Area.%03ld", number);
    if (isNameTaken(entries, candidate)) {
        long highest = 0;
        for (const SceneryEntry& entry : entries) highest = std::max(highest, areaNumber(entry.name));
        number = highest + 1;
    }
    if (number > kLastAreaNumber) return Outcome::NoAreaNumberLeft;
    std::snprintf(candidate, sizeof candidate, "Area.%03ld", number);
    std::memset(name, 0, sizeof name);
    std::memcpy(name, candidate, std::min(std::strlen(candidate), sizeof name - 1));  // the number is at most 999
    return Outcome::Continue;
}

Outcome composeAreaSection(const char* title, const char* path, std::int32_t highestLayer,
                           char (&sectionText)[kSectionTextSize]) {
    // The next layer must fit; a highest layer at the limit means the numbering is corrupt.
    if (highestLayer == std::numeric_limits<std::int32_t>::max()) return Outcome::LayersCorrupt;
    std::memset(sectionText, 0, sizeof sectionText);
    std::snprintf(sectionText, sizeof sectionText, "Title=%s%cLocal=%s%cLayer=%d%cActive=TRUE%cRequired=FALSE", title,
                  '\0', path, '\0', highestLayer + 1, '\0', '\0');
    return Outcome::Continue;
}

Outcome writeArea(platform::Profile& library, const char* name, const char* sectionText) {
    return library.writeSection(name, sectionText) ? Outcome::Activated : Outcome::WriteFailed;
}

}  // namespace bfq
