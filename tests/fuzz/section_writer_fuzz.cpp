// Any library, and a section to write into it: every byte before a new section is the
// old one, the new section is the last one listed, and the section reads back exactly
// as written.
//
// The input is the library, optionally followed by kSectionMark and the section the way
// the tool hands it over: its name, then key=value lines, each closed by a NUL. Without
// the mark the section is one like those a run adds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "ini_document.h"

using bfq::fuzz::require;
using bfq::platform::equalsFolded;
using bfq::platform::IniDocument;
using bfq::platform::TextEncoding;

namespace {

constexpr std::string_view kSectionMark("\0\0SECTION\0", 10);

struct Section {
    std::string_view name = "Area.100";
    std::vector<std::string_view> lines = {"Title=Fuzz Scenery", "Local=Addon Scenery\\Fuzz", "Layer=100",
                                           "Active=TRUE", "Required=FALSE"};
};

std::string_view splitInput(std::string_view input, Section& section) {
    const std::size_t mark = input.rfind(kSectionMark);
    if (mark == std::string_view::npos) return input;
    std::vector<std::string_view> parts;
    for (std::size_t pos = mark + kSectionMark.size(); pos < input.size();) {
        std::size_t end = input.find('\0', pos);
        if (end == std::string_view::npos) end = input.size();
        parts.push_back(input.substr(pos, end - pos));
        pos = end + 1;
    }
    section.name = parts.empty() ? std::string_view() : parts.front();
    section.lines.assign(parts.empty() ? parts.end() : parts.begin() + 1, parts.end());
    return input.substr(0, mark);
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// How a value reads: blanks around it dropped, then one matching pair of quotes.
std::string_view readAs(std::string_view value) {
    value = trimBlanks(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

bool holdsLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool isAscii(std::string_view s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// A line every reader sees as this section's key: not a comment, not a header.
bool isPlainLine(std::string_view line) {
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || holdsLineBreak(line)) return false;
    const std::string_view key = trimBlanks(line.substr(0, eq));
    return !key.empty() && key.front() != ';' && key.front() != '[';
}

bool isListed(const std::string& names, std::string_view name) {
    for (std::size_t pos = 0; pos < names.size() && names[pos] != '\0';) {
        const std::size_t end = names.find('\0', pos);
        if (equalsFolded(std::string_view(names).substr(pos, end - pos), trimBlanks(name))) return true;
        pos = end + 1;
    }
    return false;
}

// UTF-16 files hold whole code units after their byte order mark; an odd last byte stays last.
std::size_t textBytes(const IniDocument& document) {
    const std::size_t n = document.bytes().size();
    const bool utf16 = document.encoding() == TextEncoding::Utf16Le || document.encoding() == TextEncoding::Utf16Be;
    return utf16 ? n - (n - 2) % 2 : n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Section section;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string_view library = splitInput(input, section);

    const IniDocument before{std::string(library)};
    const std::string after = before.withSection(section.name, section.lines);
    const IniDocument reread{std::string(after)};  // whatever was written must read again

    const std::string_view name = trimBlanks(section.name);
    if (name.empty() || holdsLineBreak(name)) return 0;  // no reader could find such a section
    // Text reaches a UTF-16 file through UTF-8: there only ASCII comes back byte for byte.
    const bool utf16 = before.encoding() == TextEncoding::Utf16Le || before.encoding() == TextEncoding::Utf16Be;
    const auto readsBack = [&](std::string_view text) { return !utf16 || isAscii(text); };

    // Lines with line breaks or headers in them would make sections of their own; the tool's never do.
    bool plain = readsBack(name);
    for (std::string_view line : section.lines) plain = plain && isPlainLine(line) && readsBack(line);

    std::string oldNames;
    before.sectionNames(oldNames);
    if (!isListed(oldNames, name)) {
        const std::size_t kept = textBytes(before);
        require(after.compare(0, kept, library.substr(0, kept)) == 0, "every byte before a new section is kept");
        const std::size_t tail = library.size() - kept;
        require(after.compare(after.size() - tail, tail, library.substr(kept)) == 0,
                "an odd last byte of a UTF-16 file stays last");
        std::string newNames;
        reread.sectionNames(newNames);
        oldNames.pop_back();
        require(!plain || newNames == oldNames + std::string(name) + std::string(2, '\0'),
                "the new section is listed last");
    }
    if (!plain) return 0;

    std::vector<std::string_view> keys;
    for (std::string_view line : section.lines) {
        const std::size_t eq = line.find('=');
        const std::string_view key = trimBlanks(line.substr(0, eq));
        bool seen = false;
        for (std::string_view k : keys) seen = seen || equalsFolded(k, key);
        if (seen) continue;  // the first of duplicate keys is the one read
        keys.push_back(key);
        const std::string_view* value = reread.find(name, key);
        require(value != nullptr && *value == readAs(line.substr(eq + 1)), "the section reads back as written");
    }
    return 0;
}
