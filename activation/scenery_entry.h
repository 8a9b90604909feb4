#pragma once

#include <cstddef>

namespace bfq {

// One section of the library, as the run keeps it. Longer text is cut to the
// field; every field always ends in NUL.
struct SceneryEntry {
    static constexpr std::size_t kNameSize = 129;
    static constexpr std::size_t kTitleSize = 256;
    static constexpr std::size_t kLocalSize = 256;

    char name[kNameSize] = {};
    char title[kTitleSize] = {};
    char local[kLocalSize] = {};

    void setName(const char* text);
    void setTitle(const char* text);
    void setLocal(const char* text);
};

}  // namespace bfq
