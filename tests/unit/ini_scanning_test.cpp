// Reading stays exact on the fast paths: line breaks found eight bytes at a time,
// one section looked up for several keys, lists reserved from the file's size.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

#include "ini_document.h"

using bfq::platform::IniDocument;

namespace {

struct BreakCase {
    const char* name;
    const char* lineBreak;
};

void PrintTo(const BreakCase& c, std::ostream* os) { *os << c.name; }

class LineBreaks : public testing::TestWithParam<BreakCase> {};

// Every value length from 0 to 24 puts the break at every place in an 8-byte word,
// and on either side of a word boundary.
TEST_P(LineBreaks, EndEveryLineWhereverTheyFallInAWord) {
    const std::string br = GetParam().lineBreak;
    std::string file = "[S]" + br;
    for (int length = 0; length <= 24; ++length) {
        file += "k" + std::to_string(length) + "=" + std::string(static_cast<std::size_t>(length), 'v') + br;
    }
    file += "last=" + std::string(13, 'w');  // no break after the last line
    const IniDocument doc(file);
    for (int length = 0; length <= 24; ++length) {
        const std::string key = "k" + std::to_string(length);
        const std::string_view* value = doc.find("S", key);
        ASSERT_NE(value, nullptr) << key;
        EXPECT_EQ(*value, std::string(static_cast<std::size_t>(length), 'v')) << key;
    }
    const std::string_view* last = doc.find("S", "last");
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(*last, std::string(13, 'w'));
}

INSTANTIATE_TEST_SUITE_P(Ini, LineBreaks,
                         testing::Values(BreakCase{"crlf", "\r\n"}, BreakCase{"lf", "\n"}, BreakCase{"cr", "\r"},
                                         BreakCase{"lf_cr", "\n\r"}),
                         [](const testing::TestParamInfo<BreakCase>& p) { return std::string(p.param.name); });

TEST(LineBreaks, ByteValuesNearTheBreaksAreNoBreaks) {
    // 0x0C, 0x0E, 0x8D and 0x8A differ from CR or LF by one bit or one step: a word scan
    // that tests bits loosely would stop at them and cut the value.
    const std::string value = "a\x0C" "b\x0E" "c\x8D" "d\x8A" "e\x09" "f\x0B" "ghijklmnop";
    const IniDocument doc("[S]\r\nk=" + value + "\r\nj=2\r\n");
    const std::string_view* k = doc.find("S", "k");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(*k, value);
    const std::string_view* j = doc.find("S", "j");
    ASSERT_NE(j, nullptr);
    EXPECT_EQ(*j, "2");
}

struct Lookup {
    const char* section;
    const char* key;
    const char* expected;  // nullptr: not found
};

// Lookups in one order against one document: each must answer as if it were the first.
TEST(SectionLookups, InAnyOrderAnswerAsIfEachWereTheFirst) {
    const IniDocument doc("[A]\r\nk=a\r\n[B]\r\nk=b\r\n[b]\r\nk=second b\r\n[ C ]\r\nk=c\r\n");
    const Lookup lookups[] = {
        {"A", "k", "a"},      {"A", "k", "a"},     {"B", "k", "b"},   {"A", "k", "a"},
        {"b", "k", "b"},      {"B", "k", "b"},     {"Z", "k", nullptr}, {"Z", "k", nullptr},
        {"A", "k", "a"},      {" C ", "k", "c"},  {"C", "k", "c"},   {"C", "j", nullptr},
        {"C", "k", "c"},      {"", "k", nullptr}, {"B", "k", "b"},
    };
    for (const Lookup& l : lookups) {
        const std::string_view* value = doc.find(l.section, l.key);
        if (l.expected == nullptr) {
            EXPECT_EQ(value, nullptr) << l.section << "/" << l.key;
        } else {
            ASSERT_NE(value, nullptr) << l.section << "/" << l.key;
            EXPECT_EQ(*value, l.expected) << l.section << "/" << l.key;
        }
    }
}

TEST(SectionLookups, MoreKeysAndSectionsThanTheFileSizeSuggests) {
    // Three-byte key lines and short headers: far more than the lists are first given room for.
    std::string file;
    for (int s = 0; s < 300; ++s) {
        file += "[" + std::to_string(s) + "]\n";
        for (char k = 'a'; k <= 'z'; ++k) file += std::string(1, k) + "=\n";
        file += "z=" + std::to_string(s) + "\n";
    }
    const IniDocument doc(file);
    std::string names;
    doc.sectionNames(names);
    EXPECT_EQ(std::count(names.begin(), names.end(), '\0'), 301);  // 300 names and the closing one
    for (int s = 0; s < 300; s += 37) {
        const std::string_view* a = doc.find(std::to_string(s), "a");
        ASSERT_NE(a, nullptr) << s;
        EXPECT_EQ(*a, "");
        const std::string_view* z = doc.find(std::to_string(s), "z");
        ASSERT_NE(z, nullptr) << s;
        EXPECT_EQ(*z, "");  // the first of duplicate keys wins
    }
}

}  // namespace
