// Writing one section: every byte outside it stays, and it reads back as written.
#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "encodings.h"
#include "ini_document.h"

using bfq::platform::IniDocument;
using bfq::test::utf16;

namespace {

struct WriteCase {
    const char* name;
    std::string before;
    const char* section;
    std::vector<std::string_view> lines;
    std::string after;
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class Writing : public testing::TestWithParam<WriteCase> {};

TEST_P(Writing, ChangesOnlyTheWrittenSection) {
    const WriteCase& c = GetParam();
    const std::string after = IniDocument(c.before).withSection(c.section, c.lines);
    EXPECT_EQ(after, c.after);
    // And the section reads back exactly as written.
    IniDocument reread(after);
    for (std::string_view line : c.lines) {
        const std::size_t eq = line.find('=');
        const std::string_view* value = reread.find(c.section, line.substr(0, eq));
        ASSERT_NE(value, nullptr) << line;
        EXPECT_EQ(*value, line.substr(eq + 1));
    }
}

const WriteCase kWriteCases[] = {
    {"append_crlf", "[General]\r\nTitle=X\r\n[Area.001]\r\nLayer=1\r\n", "Area.002", {"Title=New", "Layer=2"},
     "[General]\r\nTitle=X\r\n[Area.001]\r\nLayer=1\r\n[Area.002]\r\nTitle=New\r\nLayer=2\r\n"},
    {"append_keeps_comments_blanks_spacing",
     "; Scenery library\r\n[General]\r\n  Title = FS World \r\n\r\nNoEquals\r\n#hash\r\n\r\n\r\n", "B", {"n=1"},
     "; Scenery library\r\n[General]\r\n  Title = FS World \r\n\r\nNoEquals\r\n#hash\r\n\r\n\r\n[B]\r\nn=1\r\n"},
    {"append_lf_file_uses_lf", "# c\n[General]\nTitle=X\n\n[Area.001]\nLayer=1\n", "Area.002", {"Layer=2"},
     "# c\n[General]\nTitle=X\n\n[Area.001]\nLayer=1\n[Area.002]\nLayer=2\n"},
    {"append_cr_file_uses_cr", "[A]\rk=1\r", "B", {"n=1"}, "[A]\rk=1\r[B]\rn=1\r"},
    {"append_mixed_file_uses_crlf", "[A]\nk=1\r\n", "B", {"n=1"}, "[A]\nk=1\r\n[B]\r\nn=1\r\n"},
    {"append_after_missing_final_break", "[General]\r\nTitle=X\r\n[Area.001]\r\nLayer=1", "Area.002", {"Layer=2"},
     "[General]\r\nTitle=X\r\n[Area.001]\r\nLayer=1\r\n[Area.002]\r\nLayer=2\r\n"},
    {"append_to_empty_file", "", "A", {"k=1"}, "[A]\r\nk=1\r\n"},
    {"append_keeps_keys_before_header", "top=1\r\n[A]\r\nk=1\r\n", "B", {"n=1"},
     "top=1\r\n[A]\r\nk=1\r\n[B]\r\nn=1\r\n"},
    {"append_utf8_bom", "\xEF\xBB\xBF[A]\r\nu=Z\xC3\xBCrich\r\n", "B", {"n=Z\xC3\xBC"},
     "\xEF\xBB\xBF[A]\r\nu=Z\xC3\xBCrich\r\n[B]\r\nn=Z\xC3\xBC\r\n"},
    {"append_to_bom_only_file", "\xEF\xBB\xBF", "A", {"k=1"}, "\xEF\xBB\xBF[A]\r\nk=1\r\n"},
    {"append_utf16le", utf16(u"[A]\r\nk=v\r\nu=Z\u00FCrich\r\n", true), "B", {"n=Z\xC3\xBC"},
     utf16(u"[A]\r\nk=v\r\nu=Z\u00FCrich\r\n[B]\r\nn=Z\u00FC\r\n", true)},
    {"append_utf16be", utf16(u"[A]\nk=v\n", false), "B", {"n=1"}, utf16(u"[A]\nk=v\n[B]\nn=1\n", false)},
    {"value_characters_unchanged", "[A]\r\nk=1\r\n", "Area.002",
     {"Title=My = Scenery; with \\ slashes", "Local=C:\\Addon Scenery\\My;Scenery = 2"},
     "[A]\r\nk=1\r\n[Area.002]\r\nTitle=My = Scenery; with \\ slashes\r\nLocal=C:\\Addon Scenery\\My;Scenery = 2\r\n"},
    {"replace_middle_keeps_other_lines",
     "[General]\r\nTitle=X\r\n\r\n[Area.001]\r\nTitle=Old\r\n; inner comment\r\nLocal=Old\\Path\r\nLayer=1\r\n\r\n"
     "[Area.002]\r\nLayer=2\r\n",
     "Area.001", {"Layer=9", "Title=Replaced"},
     "[General]\r\nTitle=X\r\n\r\n[Area.001]\r\nLayer=9\r\nTitle=Replaced\r\n; inner comment\r\n\r\n"
     "[Area.002]\r\nLayer=2\r\n"},
    {"replace_ignores_letter_case", "[Area.001]\r\nTitle=Old\r\n[B]\r\nj=2\r\n", "AREA.001", {"Title=New"},
     "[Area.001]\r\nTitle=New\r\n[B]\r\nj=2\r\n"},
    {"replace_first_of_duplicates_only", "[A]\r\nk=1\r\n[B]\r\nk=2\r\n[A]\r\nk=3\r\n", "A", {"n=9"},
     "[A]\r\nn=9\r\n[B]\r\nk=2\r\n[A]\r\nk=3\r\n"},
    {"fill_empty_last_section_without_break", "[A]\r\nk=1\r\n[B]", "B", {"n=1"}, "[A]\r\nk=1\r\n[B]\r\nn=1\r\n"},
    {"fill_empty_section_in_middle", "[A]\r\n\r\n[B]\r\nj=2\r\n", "A", {"n=1"}, "[A]\r\nn=1\r\n\r\n[B]\r\nj=2\r\n"},
    {"replace_last_key_without_break", "[A]\r\nk=1", "A", {"k=2"}, "[A]\r\nk=2\r\n"},
    {"replace_in_utf16", utf16(u"[A]\r\nk=1\r\n[B]\r\nj=2\r\n", true), "A", {"k=\u00FC"},
     utf16(u"[A]\r\nk=\u00FC\r\n[B]\r\nj=2\r\n", true)},
};

INSTANTIATE_TEST_SUITE_P(Ini, Writing, testing::ValuesIn(kWriteCases),
                         [](const testing::TestParamInfo<WriteCase>& p) { return std::string(p.param.name); });

}  // namespace
