// The decisions of a run that need no files: layers, titles, area names, section text.
#include <gtest/gtest.h>

#include <ostream>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "activation_checks.h"
#include "area_writer.h"
#include "scenery_entry.h"

using bfq::Outcome;
using bfq::SceneryEntry;
using bfq::TargetSimulator;

namespace {

SceneryEntry entry(const std::string& name, const std::string& title = "t") {
    SceneryEntry e;
    e.setName(name.c_str());
    e.setTitle(title.c_str());
    return e;
}

TEST(SceneryEntryFields, LongTextIsCutToTheField) {
    SceneryEntry e;
    e.setName(std::string(200, 'n').c_str());
    e.setTitle(std::string(300, 't').c_str());
    e.setLocal(std::string(255, 'l').c_str());
    EXPECT_EQ(std::string(e.name), std::string(128, 'n'));
    EXPECT_EQ(std::string(e.title), std::string(255, 't'));
    EXPECT_EQ(std::string(e.local), std::string(255, 'l'));
    e.setTitle("short");  // a shorter text leaves nothing of the longer one behind
    EXPECT_EQ(std::string(e.title, sizeof e.title), "short" + std::string(sizeof e.title - 5, '\0'));
}

struct LayerCase {
    const char* name;
    std::vector<std::int32_t> layers;
    TargetSimulator target;
    Outcome expected;
    std::int32_t highest;
};

void PrintTo(const LayerCase& c, std::ostream* os) { *os << c.name; }

class Layers : public testing::TestWithParam<LayerCase> {};

TEST_P(Layers, OnlyTheHighestLayerCounts) {
    const LayerCase& c = GetParam();
    std::vector<std::int32_t> layers = c.layers;
    std::int32_t highest = -12345;
    EXPECT_EQ(bfq::checkLayerConsistency(layers, c.layers.size() + 1, c.target, highest), c.expected);
    if (c.expected != Outcome::EmptyLists) {
        EXPECT_EQ(highest, c.highest);
    }
}

constexpr auto Fsx = TargetSimulator::Fsx;
constexpr auto FsxSe = TargetSimulator::FsxSe;
constexpr auto P3d = TargetSimulator::Prepar3D;
constexpr auto P3d2 = TargetSimulator::Prepar3Dv2;

INSTANTIATE_TEST_SUITE_P(
    Checks, Layers,
    testing::Values(LayerCase{"in_order", {1, 2, 3}, Fsx, Outcome::Continue, 3},
                    LayerCase{"gap_fsx", {1, 2, 4}, Fsx, Outcome::LayersCorrupt, 4},
                    LayerCase{"gap_fsxse", {1, 2, 4}, FsxSe, Outcome::LayersCorrupt, 4},
                    LayerCase{"gap_p3dv2", {1, 2, 4}, P3d2, Outcome::LayersCorrupt, 4},
                    LayerCase{"gap_p3d_lenient", {1, 2, 4}, P3d, Outcome::Continue, 4},
                    LayerCase{"all_the_same", {3, 3, 3}, Fsx, Outcome::Continue, 3},
                    LayerCase{"repeated", {1, 3, 3}, Fsx, Outcome::Continue, 3},
                    LayerCase{"out_of_order", {3, 1, 2}, Fsx, Outcome::Continue, 3},
                    LayerCase{"too_low", {1, 1, 2}, Fsx, Outcome::LayersCorrupt, 2},
                    LayerCase{"negative", {-3, -2, -1}, P3d2, Outcome::LayersCorrupt, -1},
                    LayerCase{"negative_lenient", {-3, -2, -1}, P3d, Outcome::Continue, -1},
                    LayerCase{"no_area", {}, Fsx, Outcome::EmptyLists, 0}),
    [](const testing::TestParamInfo<LayerCase>& p) { return std::string(p.param.name); });

TEST(Titles, MatchOnlyTheSameBytesHeaderIncluded) {
    const std::vector<SceneryEntry> entries = {entry("General", "FS9 World Scenery"), entry("Area.001", "Addon Scenery"),
                                               entry("Area.002", std::string(300, 'x'))};
    EXPECT_EQ(bfq::findTitle(entries, "FS9 World Scenery"), Outcome::AlreadyPresent);
    EXPECT_EQ(bfq::findTitle(entries, "Addon Scenery"), Outcome::AlreadyPresent);
    EXPECT_EQ(bfq::findTitle(entries, "addon scenery"), Outcome::Continue);
    EXPECT_EQ(bfq::findTitle(entries, "Addon Scenery "), Outcome::Continue);
    EXPECT_EQ(bfq::findTitle(entries, "Addon"), Outcome::Continue);
    EXPECT_EQ(bfq::findTitle(entries, std::string(300, 'x').c_str()), Outcome::Continue);
    EXPECT_EQ(bfq::findTitle(entries, std::string(255, 'x').c_str()), Outcome::AlreadyPresent);
}

struct NameCase {
    const char* name;
    std::vector<const char*> sections;  // in file order, header first
    Outcome expected;
    const char* newName;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class AreaNames : public testing::TestWithParam<NameCase> {};

TEST_P(AreaNames, FollowTheLastSectionAndNeverTakeAnExistingName) {
    std::vector<SceneryEntry> entries;
    for (const char* s : GetParam().sections) entries.push_back(entry(s));
    char name[bfq::kAreaNameSize] = {};
    EXPECT_EQ(bfq::nextAreaName(entries, name), GetParam().expected);
    if (GetParam().expected == Outcome::Continue) {
        EXPECT_STREQ(name, GetParam().newName);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Writer, AreaNames,
    testing::Values(
        NameCase{"next_after_last", {"General", "Area.119", "Area.120"}, Outcome::Continue, "Area.121"},
        NameCase{"leading_zeros", {"General", "Area.007"}, Outcome::Continue, "Area.008"},
        NameCase{"two_digits", {"General", "Area.12"}, Outcome::Continue, "Area.013"},
        NameCase{"only_three_digits_read", {"General", "Area.0123"}, Outcome::Continue, "Area.013"},
        NameCase{"last_not_highest_out_of_order", {"General", "Area.003", "Area.001", "Area.002"}, Outcome::Continue,
                 "Area.004"},
        NameCase{"taken_name_ignores_case", {"General", "AREA.002", "Area.001"}, Outcome::Continue, "Area.003"},
        NameCase{"last_not_an_area", {"General", "Area.001", "Area.002", "Other"}, Outcome::Continue, "Area.003"},
        NameCase{"non_area_last_free_name", {"General", "Custom"}, Outcome::Continue, "Area.001"},
        NameCase{"digits_only_count", {"General", "Area.001", "Area.002x", "Area.001"}, Outcome::Continue,
                 "Area.002"},
        NameCase{"998_gives_999", {"General", "Area.998"}, Outcome::Continue, "Area.999"},
        NameCase{"999_has_no_next", {"General", "Area.999"}, Outcome::NoAreaNumberLeft, ""},
        NameCase{"taken_above_999", {"General", "Area.1000", "Area.101", "Area.100"}, Outcome::NoAreaNumberLeft, ""},
        NameCase{"free_name_after_last_is_used", {"General", "Area.999", "Area.001"}, Outcome::Continue, "Area.002"}),
    [](const testing::TestParamInfo<NameCase>& p) { return std::string(p.param.name); });

TEST(SectionText, KeyValueStringsClosedByAnEmptyOne) {
    char text[bfq::kSectionTextSize];
    ASSERT_EQ(bfq::composeAreaSection("My = Scenery; 1", "C:\\Addon Scenery\\My", 5, text), Outcome::Continue);
    const char keys[] = "Title=My = Scenery; 1\0Local=C:\\Addon Scenery\\My\0Layer=6\0Active=TRUE\0Required=FALSE\0";
    const std::string expected(keys, sizeof keys);  // the literal's own NUL closes the list
    EXPECT_EQ(std::string(text, expected.size()), expected);
}

TEST(SectionText, LongestValuesFit) {
    char text[bfq::kSectionTextSize];
    const std::string title(511, 't'), path(511, 'p');
    ASSERT_EQ(bfq::composeAreaSection(title.c_str(), path.c_str(), INT_MAX - 1, text), Outcome::Continue);
    EXPECT_EQ(std::string(text), "Title=" + title);
    const char* keys = text;
    std::vector<std::string> lines;
    for (; *keys != '\0'; keys += std::strlen(keys) + 1) lines.emplace_back(keys);
    EXPECT_EQ(lines.back(), "Required=FALSE");
    EXPECT_EQ(lines[2], "Layer=2147483647");
}

TEST(SectionText, NoLayerPastTheLargestNumber) {
    char text[bfq::kSectionTextSize];
    EXPECT_EQ(bfq::composeAreaSection("t", "p", INT_MAX, text), Outcome::LayersCorrupt);
}

}  // namespace
