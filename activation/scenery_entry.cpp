#include "scenery_entry.h"

#include <cstring>

namespace bfq {

namespace {

template <std::size_t Size>
void setField(char (&field)[Size], const char* text) {
    std::memset(field, 0, Size);
    const std::size_t length = std::strlen(text);
    std::memcpy(field, text, length < Size - 1 ? length : Size - 1);
}

}  // namespace

void SceneryEntry::setName(const char* text) { setField(name, text); }
void SceneryEntry::setTitle(const char* text) { setField(title, text); }
void SceneryEntry::setLocal(const char* text) { setField(local, text); }

}  // namespace bfq
