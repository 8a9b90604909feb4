#pragma once

#include <string>

namespace bfq::test {

// UTF-16 file bytes, as Windows tools save INI files, with or without a byte order mark.
inline std::string utf16(const std::u16string& text, bool littleEndian = true, bool byteOrderMark = true) {
    std::string out;
    if (byteOrderMark) out = littleEndian ? std::string("\xFF\xFE", 2) : std::string("\xFE\xFF", 2);
    for (char16_t c : text) {
        const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
        out += littleEndian ? lo : hi;
        out += littleEndian ? hi : lo;
    }
    return out;
}

}  // namespace bfq::test
