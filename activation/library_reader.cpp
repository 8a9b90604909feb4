#include "library_reader.h"

#include <cstring>

namespace bfq {

Outcome loadLibrary(platform::Profile& library, const std::string& sectionNames, std::vector<SceneryEntry>& entries,
                    std::vector<std::int32_t>& layers, char (&title)[kValueSize], char (&path)[kValueSize]) {
    // One allocation of the final size: growing by doubling touches, and briefly holds, about
    // twice the memory, and every page a run touches first costs it time.
    std::size_t sectionCount = 0;
    for (const char* name = sectionNames.c_str(); *name != '\0'; name += std::strlen(name) + 1) ++sectionCount;
    entries.reserve(sectionCount);
    layers.reserve(sectionCount);

    std::size_t index = 0;
    for (const char* name = sectionNames.c_str(); *name != '\0'; name += std::strlen(name) + 1, ++index) {
        const bool isArea = index > 0;
        SceneryEntry entry;
        entry.setName(name);
        std::memset(title, 0, sizeof title);
        if (library.readString(name, "Title", title, sizeof title) == 0) return Outcome::LibraryTitleMissing;
        entry.setTitle(title);
        std::memset(path, 0, sizeof path);
        if (isArea && library.readString(name, "Local", path, sizeof path) == 0) return Outcome::LibraryPathMissing;
        entry.setLocal(path);
        entries.push_back(entry);
        if (isArea) {
            const std::int32_t layer = library.readInt(name, "Layer", 0);
            if (layer == 0) return Outcome::LibraryLayerMissing;
            layers.push_back(layer);
        }
    }
    return Outcome::Continue;
}

}  // namespace bfq
