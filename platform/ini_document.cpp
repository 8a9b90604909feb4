#include "ini_document.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace bfq::platform {

namespace {

// Sections with more keys than this are looked up through an index built on first use.
constexpr std::uint32_t kLinearKeys = 16;

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isBreak(char c) { return c == '\r' || c == '\n'; }

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// A value wrapped in one matching pair of quotes loses that pair, once.
std::string_view unquote(std::string_view s) {
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) {
        return s.substr(1, s.size() - 2);
    }
    return s;
}

struct Line {
    std::string_view content;  // without its line break
    std::size_t next;          // where the following line starts
};

// The first CR or LF at or after pos. Eight bytes at a time: most words hold no
// line break, and a word is cleared with a few arithmetic steps instead of eight tests.
std::size_t lineEndFrom(std::string_view text, std::size_t pos) {
    constexpr std::uint64_t ones = 0x0101010101010101u;
    constexpr std::uint64_t highs = 0x8080808080808080u;
    while (pos + 8 <= text.size()) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + pos, 8);
        const std::uint64_t cr = word ^ (ones * '\r');
        const std::uint64_t lf = word ^ (ones * '\n');
        if ((((cr - ones) & ~cr) | ((lf - ones) & ~lf)) & highs) break;  // some byte is CR or LF
        pos += 8;
    }
    while (pos < text.size() && !isBreak(text[pos])) ++pos;
    return pos;
}

// CRLF, LF and a lone CR each end a line.
Line lineAt(std::string_view text, std::size_t pos) {
    const std::size_t end = lineEndFrom(text, pos);
    std::size_t next = end;
    if (next < text.size()) next += (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n') ? 2u : 1u;
    return {text.substr(pos, end - pos), next};
}

// The name of a section header line, or false when the line is no header.
bool headerName(std::string_view trimmed, std::string_view& name) {
    if (trimmed.empty() || trimmed.front() != '[') return false;
    const std::size_t close = trimmed.rfind(']');
    if (close == std::string_view::npos) return false;
    name = trimBlanks(trimmed.substr(1, close - 1));
    return true;
}

bool isKeyLine(std::string_view trimmed) {
    return !trimmed.empty() && trimmed.front() != ';' && trimmed.find('=') != std::string_view::npos;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at pos; a byte that starts no valid sequence
// stands for itself (Latin-1), so no input is ever lost.
std::uint32_t nextCodePoint(std::string_view s, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char b0 = byte(pos);
    int length = 0;
    std::uint32_t cp = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) { length = 2; cp = b0 & 0x1Fu; }
    else if (b0 >= 0xE0 && b0 <= 0xEF) { length = 3; cp = b0 & 0x0Fu; }
    else if (b0 >= 0xF0 && b0 <= 0xF4) { length = 4; cp = b0 & 0x07u; }
    if (length == 0 || pos + static_cast<std::size_t>(length) > s.size()) {
        ++pos;
        return b0;
    }
    for (int i = 1; i < length; ++i) {
        const unsigned char b = byte(pos + static_cast<std::size_t>(i));
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return b0;
        }
        cp = (cp << 6) | (b & 0x3Fu);
    }
    const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return b0;
    }
    pos += static_cast<std::size_t>(length);
    return cp;
}

}  // namespace

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldAscii(a[i]) != foldAscii(b[i])) return false;
    }
    return true;
}

std::size_t IniDocument::FoldedHash::operator()(std::string_view s) const {
    std::uint64_t h = 1469598103934665603ull;
    for (char c : s) {
        h ^= static_cast<unsigned char>(foldAscii(c));
        h *= 1099511628211ull;
    }
    return static_cast<std::size_t>(h);
}

bool IniDocument::FoldedEqual::operator()(std::string_view a, std::string_view b) const { return equalsFolded(a, b); }

std::int32_t parseProfileInt(std::string_view value) {
    std::size_t i = 0;
    while (i < value.size() && isBlank(value[i])) ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    std::int64_t magnitude = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (value[i] - '0');
        if (magnitude > limit) return 0;  // a nonsense layer must be refused, not wrapped into another number
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

IniDocument::IniDocument(std::string bytes) : bytes_(std::move(bytes)) {
    decode();
    parse();
}

void IniDocument::decode() {
    const auto at = [&](std::size_t i) -> std::uint32_t { return static_cast<unsigned char>(bytes_[i]); };
    const std::size_t n = bytes_.size();
    if (n >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
        encoding_ = TextEncoding::Utf8Bom;
        text_ = std::string_view(bytes_).substr(3);
        textEndOffset_ = n;
        return;
    }
    const bool le = n >= 2 && at(0) == 0xFF && at(1) == 0xFE;
    const bool be = n >= 2 && at(0) == 0xFE && at(1) == 0xFF;
    if (!le && !be) {
        text_ = bytes_;
        textEndOffset_ = n;
        return;
    }
    encoding_ = le ? TextEncoding::Utf16Le : TextEncoding::Utf16Be;
    const auto unit = [&](std::size_t i) -> std::uint32_t {
        return le ? (at(i) | (at(i + 1) << 8)) : ((at(i) << 8) | at(i + 1));
    };
    decoded_.reserve(n);
    std::size_t i = 2;
    while (i + 1 < n) {
        std::uint32_t cp = unit(i);
        i += 2;
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && unit(i) >= 0xDC00 && unit(i) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i) - 0xDC00);
            i += 2;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        appendUtf8(decoded_, cp);
        if (cp == '\r' || cp == '\n') breakOffsets_.emplace_back(decoded_.size(), i);
    }
    textEndOffset_ = i;
    text_ = decoded_;
}

void IniDocument::parse() {
    std::int64_t current = -1;  // keys before the first header belong to no section
    // Room for a key every 16 bytes and a section every 96: a real library needs less,
    // so the lists are not copied while they grow. Pages reserved and never used cost nothing.
    keys_.reserve(text_.size() / 16);
    sections_.reserve(text_.size() / 96);
    firstSection_.reserve(text_.size() / 96);
    for (std::size_t pos = 0; pos < text_.size();) {
        const Line line = lineAt(text_, pos);
        const std::string_view trimmed = trimBlanks(line.content);
        std::string_view name;
        if (headerName(trimmed, name)) {
            if (current >= 0) sections_[static_cast<std::size_t>(current)].bodyEnd = pos;
            current = static_cast<std::int64_t>(sections_.size());
            sections_.push_back({name, line.next, text_.size(), static_cast<std::uint32_t>(keys_.size()), 0});
            if (!name.empty()) firstSection_.try_emplace(name, static_cast<std::uint32_t>(current));
        } else if (current >= 0 && isKeyLine(trimmed)) {
            const std::size_t eq = trimmed.find('=');
            keys_.push_back({trimBlanks(trimmed.substr(0, eq)), unquote(trimBlanks(trimmed.substr(eq + 1)))});
            ++sections_[static_cast<std::size_t>(current)].keyCount;
        }
        pos = line.next;
    }
}

const std::string_view* IniDocument::find(std::string_view section, std::string_view key) const {
    section = trimBlanks(section);
    // A reader asks for several keys of one section in a row: find the section once.
    if (section != lastSectionName_) {
        const auto it = firstSection_.find(section);
        lastSectionName_.assign(section);
        lastSection_ = it == firstSection_.end() ? kNoSection : it->second;
    }
    if (lastSection_ == kNoSection) return nullptr;
    const Section& s = sections_[lastSection_];
    key = trimBlanks(key);
    if (s.keyCount <= kLinearKeys) {
        for (std::uint32_t k = s.firstKey; k < s.firstKey + s.keyCount; ++k) {
            if (equalsFolded(keys_[k].name, key)) return &keys_[k].value;  // the first of duplicate keys wins
        }
        return nullptr;
    }
    auto [indexed, made] = largeSectionKeys_.try_emplace(lastSection_);
    if (made) {
        for (std::uint32_t k = s.firstKey; k < s.firstKey + s.keyCount; ++k) {
            indexed->second.try_emplace(keys_[k].name, k);  // the first of duplicate keys wins
        }
    }
    const auto found = indexed->second.find(key);
    return found == indexed->second.end() ? nullptr : &keys_[found->second].value;
}

std::size_t IniDocument::sectionNames(std::string& names) const {
    names.clear();
    for (const Section& s : sections_) {
        // An empty name, or one holding a NUL, would end the list early and hide the sections after it;
        // no lookup can reach such a section anyway.
        if (s.name.empty() || s.name.find('\0') != std::string_view::npos) continue;
        names.append(s.name);
        names.push_back('\0');
    }
    const std::size_t count = names.size();
    names.push_back('\0');
    return count;
}

std::string_view IniDocument::lineEnding() const {
    if (text_.find("\r\n") != std::string_view::npos) return "\r\n";
    if (text_.find('\n') != std::string_view::npos) return "\n";
    if (text_.find('\r') != std::string_view::npos) return "\r";
    return "\r\n";
}

std::size_t IniDocument::byteOffset(std::size_t textOffset) const {
    switch (encoding_) {
    case TextEncoding::Bytes: return textOffset;
    case TextEncoding::Utf8Bom: return textOffset + 3;
    default: break;
    }
    if (textOffset == 0) return 2;
    if (textOffset >= text_.size()) return textEndOffset_;
    // Every edit starts and ends at a line start, which follows a recorded line break.
    const auto it = std::lower_bound(breakOffsets_.begin(), breakOffsets_.end(),
                                     std::pair<std::size_t, std::size_t>{textOffset, 0});
    return it->second;
}

std::string IniDocument::encode(std::string_view text) const {
    if (encoding_ != TextEncoding::Utf16Le && encoding_ != TextEncoding::Utf16Be) return std::string(text);
    std::string out;
    const auto put = [&](std::uint32_t u) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        if (encoding_ == TextEncoding::Utf16Le) { out += lo; out += hi; }
        else { out += hi; out += lo; }
    };
    for (std::size_t pos = 0; pos < text.size();) {
        const std::uint32_t cp = nextCodePoint(text, pos);
        if (cp >= 0x10000) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

std::string IniDocument::applyEdits(const std::vector<Edit>& edits) const {
    std::string out;
    out.reserve(bytes_.size() + 256);
    std::size_t copied = 0;
    for (const Edit& e : edits) {
        const std::size_t start = byteOffset(e.start);
        out.append(bytes_, copied, start - copied);
        out += encode(e.text);
        copied = byteOffset(e.end);
    }
    out.append(bytes_, copied, std::string::npos);
    return out;
}

std::string IniDocument::withSection(std::string_view name, const std::vector<std::string_view>& lines) const {
    const std::string_view eol = lineEnding();
    std::string body;
    for (std::string_view line : lines) {
        body += line;
        body += eol;
    }
    const bool endsWithBreak = !text_.empty() && isBreak(text_.back());
    const auto it = firstSection_.find(trimBlanks(name));
    if (it == firstSection_.end()) {
        std::string added = (text_.empty() || endsWithBreak) ? std::string() : std::string(eol);
        added += '[';
        added += name;
        added += ']';
        added += eol;
        added += body;
        return applyEdits({{text_.size(), text_.size(), std::move(added)}});
    }
    // The first of duplicate sections is the one reads see, so it is the one written.
    const Section& s = sections_[it->second];
    std::vector<Edit> edits;
    for (std::size_t pos = s.bodyStart; pos < s.bodyEnd;) {
        const Line line = lineAt(text_, pos);
        if (isKeyLine(trimBlanks(line.content))) {
            edits.push_back({pos, line.next, edits.empty() ? body : std::string()});
        }
        pos = line.next;
    }
    if (edits.empty()) {
        const bool headerAtEnd = s.bodyStart == text_.size() && !endsWithBreak;
        edits.push_back({s.bodyStart, s.bodyStart, headerAtEnd ? std::string(eol) + body : body});
    }
    return applyEdits(edits);
}

}  // namespace bfq::platform
