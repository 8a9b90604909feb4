// Whole runs of the built tool: exit status, exact output, and every file afterwards.
#include <gtest/gtest.h>

#include <ostream>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "encodings.h"
#include "expected_runs.h"
#include "run_harness.h"

using namespace bfq::test;

namespace {

struct RunCase {
    const char* name;
    std::optional<std::string> config;  // nullopt: no configuration file at all
    std::vector<std::pair<std::string, std::string>> libraries;
    int code;
    std::string message;   // everything printed after the banner
    std::string written;   // for code 1: the library that gains the section
    std::string appended;  // for code 1: exactly what it gains
};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

RunCase added(const char* name, std::string cfg, std::vector<std::pair<std::string, std::string>> libraries,
              std::string written, std::string section, const std::string& title = kTitle) {
    return {name, std::move(cfg), std::move(libraries), 1, activatedReport(title), std::move(written),
            std::move(section)};
}

RunCase refused(const char* name, std::optional<std::string> cfg,
                std::vector<std::pair<std::string, std::string>> libraries, int code, std::string message) {
    return {name, std::move(cfg), std::move(libraries), code, std::move(message), "", ""};
}

std::string withArea(const std::string& area) { return headerSection() + area; }

// Areas whose long names make the list of section names longer than 20,000 bytes.
std::string libraryWithLongNames(int areas) {
    std::string text = headerSection();
    for (int i = 1; i <= areas; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "Area.%03d", i);
        text += "[" + std::string(name) + std::string(140, '-') + "]\r\nTitle=Scenery " + std::to_string(i) +
                "\r\nLocal=Scenery\r\nLayer=" + std::to_string(i) + "\r\n";
    }
    return text;
}

// An ASCII text as a UTF-16 little-endian file, with or without its byte order mark.
std::string utf16Text(const std::string& ascii, bool byteOrderMark) {
    return utf16(std::u16string(ascii.begin(), ascii.end()), true, byteOrderMark);
}

std::vector<RunCase> cases() {
    const std::string three = library(3);
    const std::string longTitle(300, 'L');
    return {
        // The configuration file and the target.
        refused("no_configuration_file", std::nullopt, {{kFsx, three}}, -4, kNoTarget),
        refused("empty_target", "[Config]\r\nTarget=\r\nTitle=t\r\nPath=p\r\n", {{kFsx, three}}, -4, kNoTarget),
        refused("blank_target", "[Config]\r\nTarget=   \r\n", {{kFsx, three}}, -4, kNoTarget),
        refused("target_in_another_section", "[Other]\r\nTarget=FSX\r\n", {{kFsx, three}}, -4, kNoTarget),
        refused("short_target", config("FS"), {{kFsx, three}}, -1, kInvalidTarget),
        refused("mixed_case_target", config("FsX"), {{kFsx, three}}, -1, kInvalidTarget),
        refused("p3d_without_version", config("P3D"), {{kP3d, three}}, -1, kInvalidTarget),
        refused("p3d_version_3", config("P3DV3"), {{kP3d2, three}}, -1, kInvalidTarget),
        added("config_keys_any_case_and_quoted", "[config]\r\ntarget = \"FSX\"\r\nTITLE='" + kTitle + "'\r\npath=" + kPath,
              {{kFsx, three}}, kFsx, addedSection("Area.004", kTitle, kPath, 4)),

        // Finding the library.
        refused("no_library", config("FSX"), {}, -14, kUnreadable),
        refused("library_without_sections", config("FSX"), {{kFsx, "; nothing here\r\n"}}, -14, kUnreadable),
        refused("empty_library_file", config("FSX"), {{kFsx, ""}}, -14, kUnreadable),
        refused("p3d_has_no_fallback", config("P3DV1"), {{kFsx, three}}, -14, kUnreadable),
        refused("p3dv2_has_no_fallback", config("P3DV2"), {{kFsx, three}}, -14, kUnreadable),
        refused("fsxse_without_any_library", config("FSXSE"), {}, -14, kUnreadable),
        added("fsxse_own_library", config("FSXSE"), {{kFsxSe, three}, {kFsx, library(5)}}, kFsxSe,
              addedSection("Area.004", kTitle, kPath, 4)),
        added("fsxse_falls_back_to_fsx", config("FSXSE"), {{kFsx, three}}, kFsx,
              addedSection("Area.004", kTitle, kPath, 4)),
        added("fsxse_empty_library_falls_back", config("FSXSE"), {{kFsxSe, "\r\n"}, {kFsx, three}}, kFsx,
              addedSection("Area.004", kTitle, kPath, 4)),
        refused("fsxse_fallback_keeps_strict_rule", config("FSXSE"),
                {{kFsx, withArea(areaSection(1, "a", "a", "1") + areaSection(2, "b", "b", "3"))}}, -7, kCorrupt),
        added("fsx_lowercase_on_disk", config("fsx"), {{"microsoft/fsx/SCENERY.CFG", three}},
              "microsoft/fsx/SCENERY.CFG", addedSection("Area.004", kTitle, kPath, 4)),
        added("p3d_library", config("P3DV1"), {{kP3d, three}}, kP3d, addedSection("Area.004", kTitle, kPath, 4)),
        added("p3dv2_library", config("p3dv2"), {{kP3d2, three}}, kP3d2, addedSection("Area.004", kTitle, kPath, 4)),

        // Loading the library.
        refused("header_without_title", config("FSX"), {{kFsx, "[General]\r\n" + areaSection(1, "a", "a", "1")}}, -2,
                kLibraryTitle),
        refused("area_without_title", config("FSX"), {{kFsx, withArea(areaSection(1, "", "a", "1"))}}, -2,
                kLibraryTitle),
        refused("area_with_empty_title", config("FSX"), {{kFsx, withArea("[Area.001]\r\nTitle=\r\nLocal=a\r\nLayer=1\r\n")}},
                -2, kLibraryTitle),
        refused("area_without_local", config("FSX"), {{kFsx, withArea(areaSection(1, "a", "", "1"))}}, -3,
                kLibraryPath),
        refused("area_with_empty_local", config("FSX"),
                {{kFsx, withArea("[Area.001]\r\nTitle=a\r\nLocal=\r\nLayer=1\r\n")}}, -3, kLibraryPath),
        refused("area_without_layer", config("FSX"), {{kFsx, withArea(areaSection(1, "a", "a", ""))}}, -4,
                kLibraryLayer),
        refused("area_with_layer_zero", config("FSX"), {{kFsx, withArea(areaSection(1, "a", "a", "0"))}}, -4,
                kLibraryLayer),
        refused("area_with_layer_text", config("FSX"), {{kFsx, withArea(areaSection(1, "a", "a", "TRUE"))}}, -4,
                kLibraryLayer),
        refused("area_with_layer_in_hex", config("FSX"), {{kFsx, withArea(areaSection(1, "a", "a", "0x1"))}}, -4,
                kLibraryLayer),
        refused("area_with_layer_out_of_range", config("FSX"),
                {{kFsx, withArea(areaSection(1, "a", "a", "4294967297"))}}, -4, kLibraryLayer),
        refused("first_broken_section_decides", config("FSX"),
                {{kFsx, withArea(areaSection(1, "a", "", "1") + areaSection(2, "", "b", "2"))}}, -3, kLibraryPath),
        added("header_needs_no_local_or_layer", config("FSX"), {{kFsx, "[General]\r\nTitle=T\r\n" + areaSection(1, "a", "a", "1")}},
              kFsx, addedSection("Area.002", kTitle, kPath, 2)),
        added("switched_off_areas_count", config("FSX"),
              {{kFsx, withArea(areaSection(1, "a", "a", "1", "Active=FALSE\r\n") + areaSection(2, "b", "b", "2"))}},
              kFsx, addedSection("Area.003", kTitle, kPath, 3)),

        // The request, read only after the library has loaded.
        refused("broken_library_before_missing_title", config("FSX", std::nullopt, std::nullopt),
                {{kFsx, withArea(areaSection(1, "", "a", "1"))}}, -2, kLibraryTitle),
        refused("bad_layer_before_missing_title", config("FSX", std::nullopt, std::nullopt),
                {{kFsx, withArea(areaSection(1, "a", "a", "0"))}}, -4, kLibraryLayer),
        refused("missing_title", config("FSX", std::nullopt, std::nullopt), {{kFsx, three}}, -5, kRequestTitle),
        refused("empty_title", config("FSX", "", kPath), {{kFsx, three}}, -5, kRequestTitle),
        refused("missing_path", config("FSX", kTitle, std::nullopt), {{kFsx, three}}, -6, kRequestPath),
        refused("empty_path", config("FSX", kTitle, "  "), {{kFsx, three}}, -6, kRequestPath),

        // Layers.
        refused("header_only", config("FSX"), {{kFsx, headerSection()}}, -9, kEmpty),
        refused("layer_gap_fsx", config("FSX"),
                {{kFsx, withArea(areaSection(1, "a", "a", "1") + areaSection(2, "b", "b", "2") +
                                 areaSection(3, "c", "c", "4"))}},
                -7, kCorrupt),
        refused("layer_gap_p3dv2", config("P3DV2"),
                {{kP3d2, withArea(areaSection(1, "a", "a", "1") + areaSection(2, "b", "b", "2") +
                                  areaSection(3, "c", "c", "4"))}},
                -7, kCorrupt),
        added("layer_gap_p3d_lenient", config("P3DV1"),
              {{kP3d, withArea(areaSection(1, "a", "a", "1") + areaSection(2, "b", "b", "2") +
                               areaSection(3, "c", "c", "4"))}},
              kP3d, addedSection("Area.004", kTitle, kPath, 5)),
        added("layers_repeated_and_out_of_order", config("FSX"),
              {{kFsx, withArea(areaSection(1, "a", "a", "3") + areaSection(2, "b", "b", "1") +
                               areaSection(3, "c", "c", "3"))}},
              kFsx, addedSection("Area.004", kTitle, kPath, 4)),
        refused("layer_at_the_limit_p3d", config("P3DV1"), {{kP3d, withArea(areaSection(1, "a", "a", "2147483647"))}},
                -7, kCorrupt),

        // Titles already present.
        refused("title_of_an_area", config("FSX", "Scenery 2"), {{kFsx, three}}, 2, alreadyPresentReport("Scenery 2")),
        refused("title_of_the_header", config("FSX", "FS9 World Scenery"), {{kFsx, three}}, 2,
                alreadyPresentReport("FS9 World Scenery")),
        added("title_in_other_case_is_new", config("FSX", "scenery 2"), {{kFsx, three}}, kFsx,
              addedSection("Area.004", "scenery 2", kPath, 4), "scenery 2"),
        added("title_with_trailing_space_is_new", config("FSX", "\"Scenery 2 \""), {{kFsx, three}}, kFsx,
              addedSection("Area.004", "Scenery 2 ", kPath, 4), "Scenery 2 "),
        added("long_library_title_is_cut", config("FSX", longTitle),
              {{kFsx, withArea(areaSection(1, longTitle, "a", "1"))}}, kFsx,
              addedSection("Area.002", longTitle, kPath, 2), longTitle),
        refused("cut_library_title_matches", config("FSX", longTitle.substr(0, 255)),
                {{kFsx, withArea(areaSection(1, longTitle, "a", "1"))}}, 2, alreadyPresentReport(longTitle.substr(0, 255))),

        // Naming and writing the new area.
        added("area_007_gives_008", config("FSX"), {{kFsx, library(7)}}, kFsx,
              addedSection("Area.008", kTitle, kPath, 8)),
        added("two_digit_area_gives_013", config("FSX"),
              {{kFsx, withArea(areaSection(1, "a", "a", "1") + "[Area.12]\r\nTitle=b\r\nLocal=b\r\nLayer=2\r\n")}}, kFsx,
              addedSection("Area.013", kTitle, kPath, 3)),
        added("odd_characters_written_unchanged", config("FSX", "My = Scenery; v2 \\ beta", "C:\\Addon;Scenery\\a=b c"),
              {{kFsx, three}}, kFsx, addedSection("Area.004", "My = Scenery; v2 \\ beta", "C:\\Addon;Scenery\\a=b c", 4),
              "My = Scenery; v2 \\ beta"),
        added("lf_library_stays_lf", config("FSX"),
              {{kFsx, "[General]\nTitle=W\n[Area.001]\nTitle=a\nLocal=a\nLayer=1\n"}}, kFsx,
              "[Area.002]\nTitle=" + kTitle + "\nLocal=" + kPath + "\nLayer=2\nActive=TRUE\nRequired=FALSE\n"),
        added("utf16_library_stays_utf16", config("FSX"),
              {{kFsx, utf16Text("[General]\r\nTitle=W\r\n[Area.001]\r\nTitle=a\r\nLocal=a\r\nLayer=1\r\n", true)}},
              kFsx, utf16Text(addedSection("Area.002", kTitle, kPath, 2), false)),
        added("missing_final_line_break", config("FSX"),
              {{kFsx, "[General]\r\nTitle=W\r\n[Area.001]\r\nTitle=a\r\nLocal=a\r\nLayer=1"}}, kFsx,
              "\r\n" + addedSection("Area.002", kTitle, kPath, 2)),

        // Never overwrite an existing area.
        added("last_section_not_the_highest", config("FSX"),
              {{kFsx, withArea(areaSection(3, "c", "c", "3") + areaSection(1, "a", "a", "1") +
                               areaSection(2, "b", "b", "2"))}},
              kFsx, addedSection("Area.004", kTitle, kPath, 4)),
        added("last_section_not_an_area", config("FSX"),
              {{kFsx, withArea(areaSection(1, "a", "a", "1") + "[Custom]\r\nTitle=x\r\nLocal=x\r\nLayer=2\r\n")}}, kFsx,
              addedSection("Area.002", kTitle, kPath, 3)),
        added("nul_in_a_section_name_hides_nothing", config("FSX"),
              {{kFsx, withArea(areaSection(1, "a", "a", "1")) + std::string("[\0junk]\r\nTitle=j\r\n\r\n", 20) +
                          areaSection(2, "b", "b", "2")}},
              kFsx, addedSection("Area.003", kTitle, kPath, 3)),
        added("section_names_past_20000_bytes", config("FSX"), {{kFsx, libraryWithLongNames(150)}}, kFsx,
              addedSection("Area.151", kTitle, kPath, 151)),
        added("empty_section_name_hides_nothing", config("FSX"),
              {{kFsx, withArea(areaSection(1, "a", "a", "1")) + "[]\r\n\r\n" + areaSection(2, "b", "b", "2")}},
              kFsx, addedSection("Area.003", kTitle, kPath, 3)),
        added("998_areas_give_area_999", config("FSX"), {{kFsx, library(998)}}, kFsx,
              addedSection("Area.999", kTitle, kPath, 999)),
        refused("999_areas_are_full", config("FSX"), {{kFsx, library(999)}}, -16, kNoNumberLeft),
    };
}

class Runs : public testing::TestWithParam<RunCase> {};

TEST_P(Runs, ExitStatusOutputAndFiles) {
    const RunCase& c = GetParam();
    Sandbox box;
    if (c.config) box.writeConfig(*c.config);
    for (const auto& [relative, bytes] : c.libraries) box.writeLibrary(relative, bytes);
    const auto before = box.snapshot();

    const RunOutput result = box.run();

    EXPECT_EQ(result.exitStatus, shellStatus(c.code));
    EXPECT_EQ(result.out, expectedOutput(c.message));
    auto expected = before;
    if (c.code == 1) expected["ProgramData/" + c.written] += c.appended;
    const auto after = box.snapshot();
    if (c.code == 1 && ToolUnderTest::fromEnvironment().underWine()) {
        // The system's writer rewrites the whole file: compare what it holds.
        const std::string key = "ProgramData/" + c.written;
        ASSERT_TRUE(after.count(key));
        EXPECT_EQ(contentOf(after.at(key)), contentOf(expected.at(key)));
        expected.erase(key);
        auto rest = after;
        rest.erase(key);
        EXPECT_EQ(rest, expected);
    } else {
        EXPECT_EQ(after, expected);  // every other run leaves every file as it was
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Runs, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<RunCase>& p) { return std::string(p.param.name); });

TEST(Runs, NoDataFolder) {
    Sandbox box;
    box.writeConfig(config("FSX"));
    const std::string aside = box.scratch() / "ProgramData.aside";
    std::filesystem::rename(box.programData(), aside);
    const RunOutput result = box.run();
    std::filesystem::rename(aside, box.programData());
    EXPECT_EQ(result.exitStatus, shellStatus(-15));
    EXPECT_EQ(result.out, expectedOutput("The program couldn't find the Common application data folder"));
}

TEST(Runs, LibraryPathLongerThan256Characters) {
    if (ToolUnderTest::fromEnvironment().underWine()) GTEST_SKIP() << "Wine's data folder is always C:\\ProgramData";
    Sandbox box;
    const std::string prefix = box.scratch() / std::string(240, 'p');
    writeFile(prefix + "/drive_c/ProgramData/" + kFsx, library(3));
    box.writeConfig(config("FSX"));
    const auto before = box.snapshot();
    const RunOutput result = box.run({.environment = {{"WINEPREFIX", prefix}}});
    EXPECT_EQ(result.exitStatus, shellStatus(-14));
    EXPECT_EQ(result.out,
              expectedOutput("Error reading the Scenery.cfg file: its path is longer than 256 characters"));
    EXPECT_EQ(box.snapshot(), before);
    EXPECT_EQ(readFile(prefix + "/drive_c/ProgramData/" + kFsx), library(3));
}

TEST(Runs, SecondRunFindsTheFirstRunsArea) {
    Sandbox box;
    box.writeConfig(config("FSX"));
    box.writeLibrary(kFsx, library(3));
    EXPECT_EQ(box.run().exitStatus, 1);
    const auto afterFirst = box.snapshot();
    const RunOutput second = box.run();
    EXPECT_EQ(second.exitStatus, 2);
    EXPECT_EQ(second.out, expectedOutput(alreadyPresentReport(kTitle)));
    EXPECT_EQ(box.snapshot(), afterFirst);
    box.writeConfig(config("FSX", "Another Scenery", "Addon Scenery\\Another"));
    EXPECT_EQ(box.run().exitStatus, 1);
    const auto content = contentOf(readFile(box.library(kFsx)).value());
    ASSERT_EQ(content.size(), 6u);
    EXPECT_EQ(content[4].first, "Area.004");
    EXPECT_EQ(content[5].first, "Area.005");
    EXPECT_EQ(content[5].second[2], std::make_pair(std::string("Layer"), std::string("5")));
}

}  // namespace
