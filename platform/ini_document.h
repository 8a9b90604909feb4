#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace bfq::platform {

enum class TextEncoding { Bytes, Utf8Bom, Utf16Le, Utf16Be };

// One INI file, parsed once. Reads follow the rules of the Windows profile
// functions; a write produces new file bytes in which every byte outside the
// written section is the old one.
class IniDocument {
public:
    explicit IniDocument(std::string bytes);

    IniDocument(const IniDocument&) = delete;
    IniDocument& operator=(const IniDocument&) = delete;

    // The value of a key, or nullptr when the section or the key is absent.
    const std::string_view* find(std::string_view section, std::string_view key) const;

    // Every reachable section name in file order, each NUL-terminated, closed by
    // an empty name. Returns the number of characters before that closing NUL.
    std::size_t sectionNames(std::string& names) const;

    // The whole file as it would be after writing this section: its key lines
    // replaced when it exists, otherwise appended after the last byte.
    std::string withSection(std::string_view name, const std::vector<std::string_view>& lines) const;

    TextEncoding encoding() const { return encoding_; }
    const std::string& bytes() const { return bytes_; }

private:
    struct Key {
        std::string_view name;
        std::string_view value;
    };
    struct Section {
        std::string_view name;
        std::size_t bodyStart;  // just past the header line
        std::size_t bodyEnd;    // where the next header line starts, or the end of the text
        std::uint32_t firstKey;
        std::uint32_t keyCount;
    };
    struct Edit {
        std::size_t start;
        std::size_t end;
        std::string text;
    };
    struct FoldedHash {
        std::size_t operator()(std::string_view s) const;
    };
    struct FoldedEqual {
        bool operator()(std::string_view a, std::string_view b) const;
    };

    void decode();
    void parse();
    std::string_view lineEnding() const;
    std::size_t byteOffset(std::size_t textOffset) const;
    std::string encode(std::string_view text) const;
    std::string applyEdits(const std::vector<Edit>& edits) const;

    std::string bytes_;
    TextEncoding encoding_ = TextEncoding::Bytes;
    std::string decoded_;         // UTF-16 files only: their text as UTF-8
    std::string_view text_;       // what the parser reads
    // UTF-16 files only: for the position after each line-break character, the byte offset it came from.
    std::vector<std::pair<std::size_t, std::size_t>> breakOffsets_;
    std::size_t textEndOffset_ = 0;
    std::vector<Section> sections_;
    std::vector<Key> keys_;
    std::unordered_map<std::string_view, std::uint32_t, FoldedHash, FoldedEqual> firstSection_;
    // Every duplicate of a section name reads the first one: without an index, a hostile
    // library repeating the name of one huge section would cost sections x keys.
    using KeyIndex = std::unordered_map<std::string_view, std::uint32_t, FoldedHash, FoldedEqual>;
    mutable std::unordered_map<std::uint32_t, KeyIndex> largeSectionKeys_;
    static constexpr std::uint32_t kNoSection = UINT32_MAX;
    mutable std::string lastSectionName_;  // the section find() looked up last, as asked
    mutable std::uint32_t lastSection_ = kNoSection;
};

// Windows' integer reading, with one difference: a value outside the signed
// 32-bit range reads 0 instead of wrapping around.
std::int32_t parseProfileInt(std::string_view value);

// ASCII-only case folding: locale-independent, as Windows compares these names.
char foldAscii(char c);
bool equalsFolded(std::string_view a, std::string_view b);

}  // namespace bfq::platform
