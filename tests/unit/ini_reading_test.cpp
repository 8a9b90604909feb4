// How values read back from INI text: the rules of the Windows profile functions.
#include <gtest/gtest.h>

#include <ostream>

#include <string>

#include "encodings.h"
#include "ini_document.h"

using bfq::platform::IniDocument;
using bfq::test::utf16;

namespace {

struct ReadCase {
    const char* name;
    std::string file;
    const char* section;
    const char* key;
    const char* expected;  // nullptr: the key is not found
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class Reading : public testing::TestWithParam<ReadCase> {};

TEST_P(Reading, FindsTheValueWindowsWould) {
    const ReadCase& c = GetParam();
    IniDocument doc(c.file);
    const std::string_view* value = doc.find(c.section, c.key);
    if (c.expected == nullptr) {
        EXPECT_EQ(value, nullptr) << "found: " << (value ? std::string(*value) : "");
    } else {
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(*value, c.expected);
    }
}

// A section with more keys than are searched one by one: its lookups go through an index.
std::string manyKeys(const std::string& tail) {
    std::string text = "[S]\r\n";
    for (int i = 0; i < 40; ++i) text += "k" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    return text + tail;
}

const ReadCase kReadCases[] = {
    {"exact_case", "[Area.001]\r\nTitle=Foo\r\n", "Area.001", "Title", "Foo"},
    {"section_and_key_case_ignored", "[Area.001]\r\nTitle=Foo\r\n", "AREA.001", "title", "Foo"},
    {"only_ascii_folded", "[\xC4rea]\r\nk=1\r\n", "\xE4rea", "k", nullptr},
    {"blanks_around_names_and_values", "[ Sec A ]\r\n  Key One  =  val 1  \r\n", "Sec A", "Key One", "val 1"},
    {"tabs_trimmed", "[S]\r\n\tTabKey\t=\tv2\t\r\n", "S", "TabKey", "v2"},
    {"query_blanks_trimmed", "[Sec A]\r\nKey One=v\r\n", " Sec A ", " Key One ", "v"},
    {"inner_blanks_count", "[Sec A]\r\nKey  One=v\r\n", "Sec A", "Key One", nullptr},
    {"double_quotes_removed", "[Q]\r\nd=\"double\"\r\n", "Q", "d", "double"},
    {"single_quotes_removed", "[Q]\r\ns='single'\r\n", "Q", "s", "single"},
    {"mismatched_quotes_kept", "[Q]\r\nm=\"mixed'\r\n", "Q", "m", "\"mixed'"},
    {"open_quote_kept", "[Q]\r\no=\"open\r\n", "Q", "o", "\"open"},
    {"quotes_removed_once", "[Q]\r\ni=\"\"x\"\"\r\n", "Q", "i", "\"x\""},
    {"padded_inside_quotes", "[Q]\r\nsp=  \" padded \"  \r\n", "Q", "sp", " padded "},
    {"lone_quote_kept", "[Q]\r\ne1=\"\r\n", "Q", "e1", "\""},
    {"empty_value_found_empty", "[S]\r\nk=\r\n", "S", "k", ""},
    {"blank_value_found_empty", "[S]\r\nk=   \r\n", "S", "k", ""},
    {"empty_quotes_found_empty", "[S]\r\nk=\"\"\r\n", "S", "k", ""},
    {"semicolon_line_is_comment", "[S]\r\n;k=1\r\n", "S", ";k", nullptr},
    {"indented_comment", "[S]\r\n   ; k=1\r\n", "S", "; k", nullptr},
    {"hash_is_no_comment", "[S]\r\n#hash=2\r\n", "S", "#hash", "2"},
    {"text_after_value_kept", "[S]\r\nk=v ; x\r\n", "S", "k", "v ; x"},
    {"first_of_duplicate_sections", "[A]\r\nk=1\r\n[B]\r\nk=2\r\n[a]\r\nk=3\r\n", "A", "k", "1"},
    {"later_duplicate_section_keys_unseen", "[A]\r\nk=1\r\n[A]\r\nj=3\r\n", "A", "j", nullptr},
    {"first_of_duplicate_keys", "[S]\r\nk=1\r\nK=2\r\n", "S", "k", "1"},
    {"lf_lines", "[S]\nk=1\nj=2\n", "S", "j", "2"},
    {"cr_lines", "[S]\rk=1\rj=2\r", "S", "j", "2"},
    {"mixed_lines", "[S]\r\nk=1\nj=2\rl=3", "S", "l", "3"},
    {"bare_cr_cuts_value", "[S]\r\nk=ab\rcd\r\n", "S", "k", "ab"},
    {"last_line_without_break", "[S]\r\nk=last", "S", "k", "last"},
    {"header_runs_to_last_bracket", "[a]b]\r\nk=1\r\n", "a]b", "k", "1"},
    {"text_after_header_ignored", "[S] trailing\r\nk=1\r\n", "S", "k", "1"},
    {"unclosed_header_is_no_header", "[S]\r\n[NoClose\r\nk=1\r\n", "S", "k", "1"},
    {"unclosed_header_not_a_section", "[NoClose\r\nk=1\r\n", "NoClose", "k", nullptr},
    {"empty_header_unreachable", "[]\r\nk=1\r\n", "", "k", nullptr},
    {"keys_before_header_unreachable", "top=1\r\n[A]\r\nk=1\r\n", "", "top", nullptr},
    {"line_without_equals_no_key", "[S]\r\nNoEquals\r\n", "S", "NoEquals", nullptr},
    {"first_equals_splits", "[S]\r\nk=a=b\r\n", "S", "k", "a=b"},
    {"absent_section", "[S]\r\nk=1\r\n", "T", "k", nullptr},
    {"utf8_bom_skipped", "\xEF\xBB\xBF[S]\r\nk=Z\xC3\xBCrich\r\n", "S", "k", "Z\xC3\xBCrich"},
    {"bom_only_at_start", "[S]\r\n\xEF\xBB\xBFk=1\r\n", "S", "k", nullptr},
    {"utf16le_decoded", utf16(u"[S]\r\nk=Z\u00FCrich\r\n"), "S", "k", "Z\xC3\xBCrich"},
    {"utf16be_decoded", utf16(u"[S]\r\nk=v\r\n", false), "S", "k", "v"},
    {"utf16_surrogate_pair", utf16(u"[S]\r\nk=\U0001F6EB\r\n"), "S", "k", "\xF0\x9F\x9B\xAB"},
    {"utf16_without_bom_unreadable", utf16(u"[S]\r\nk=v\r\n", true, false), "S", "k", nullptr},
    {"high_bytes_pass_through", "[S]\r\nk=Z\xFCrich\r\n", "S", "k", "Z\xFCrich"},
    {"many_keys_case_ignored", manyKeys("Title=T\r\n"), "s", " TITLE ", "T"},
    {"many_keys_first_of_duplicates", manyKeys("K7=late\r\n"), "S", "k7", "7"},
    {"many_keys_absent", manyKeys(""), "S", "k40", nullptr},
    {"many_keys_later_duplicate_section_unseen", manyKeys("[s]\r\nTitle=later\r\n"), "S", "Title", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Ini, Reading, testing::ValuesIn(kReadCases),
                         [](const testing::TestParamInfo<ReadCase>& p) { return std::string(p.param.name); });

struct IntCase {
    const char* value;
    std::int32_t expected;
};

void PrintTo(const IntCase& c, std::ostream* os) { *os << c.value; }

class IntegerReading : public testing::TestWithParam<IntCase> {};

TEST_P(IntegerReading, ReadsDecimalAndRefusesWhatDoesNotFit) {
    EXPECT_EQ(bfq::platform::parseProfileInt(GetParam().value), GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Ini, IntegerReading,
                         testing::Values(IntCase{"12", 12}, IntCase{"  7", 7}, IntCase{"+5", 5}, IntCase{"-3", -3},
                                         IntCase{"12abc", 12}, IntCase{"1.5", 1}, IntCase{"010", 10},
                                         IntCase{"abc", 0}, IntCase{"- 5", 0}, IntCase{"0x1f", 0},
                                         IntCase{"TRUE", 0}, IntCase{"2147483647", 2147483647},
                                         IntCase{"-2147483648", -2147483647 - 1}, IntCase{"2147483648", 0},
                                         IntCase{"4294967296", 0}, IntCase{"99999999999", 0},
                                         IntCase{"-2147483649", 0}, IntCase{"00000000000000000000012", 12}));

TEST(SectionNames, EveryNameInFileOrderDuplicatesIncluded) {
    IniDocument doc("top=1\r\n[General]\r\n[Area.002]\r\n[]\r\n[ Area.001 ]\r\n[general]\r\n[NoClose\r\n");
    std::string names;
    const std::size_t count = doc.sectionNames(names);
    const std::string expected("General\0Area.002\0Area.001\0general\0\0", 35);
    EXPECT_EQ(names, expected);
    EXPECT_EQ(count, expected.size() - 1);
}

TEST(SectionNames, ANameHoldingANulHidesNothingAfterIt) {
    IniDocument doc(std::string("[General]\r\n[\0junk]\r\n[Area\0.9]\r\n[Area.002]\r\n", 43));
    std::string names;
    doc.sectionNames(names);
    EXPECT_EQ(names, std::string("General\0Area.002\0\0", 18));
}

TEST(SectionNames, NoneInAnEmptyOrSectionlessFile) {
    for (const char* text : {"", "k=1\r\n", "; only a comment\r\n"}) {
        std::string names;
        EXPECT_EQ(IniDocument(text).sectionNames(names), 0u) << text;
        EXPECT_EQ(names, std::string(1, '\0'));
    }
}

TEST(SectionNames, NeverTruncatedHoweverLong) {
    std::string file;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        const std::string name = "A rather long section name number " + std::to_string(i);
        file += "[" + name + "]\r\nk=1\r\n";
        expected += name + '\0';
    }
    std::string names;
    IniDocument(file).sectionNames(names);
    EXPECT_EQ(names, expected + '\0');
    EXPECT_GT(names.size(), 20000u);
}

}  // namespace
