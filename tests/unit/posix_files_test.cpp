// The project's own file services: names inside a Wine prefix, the data folder,
// the atomic replacement and the lock.
#include <gtest/gtest.h>

#include <ostream>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "posix_files.h"
#include "profile.h"
#include "scratch.h"

namespace bp = bfq::platform;
using bfq::test::readFile;
using bfq::test::ScratchDir;
using bfq::test::snapshotTree;
using bfq::test::writeFile;

namespace {

struct NameCase {
    const char* name;
    std::vector<const char*> onDisk;  // files made below the scratch folder
    const char* asked;                // Windows-style name below the scratch folder
    const char* found;                // what resolves, below the scratch folder
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class Names : public testing::TestWithParam<NameCase> {};

TEST_P(Names, MatchLikeAWinePrefix) {
    ScratchDir dir;
    for (const char* file : GetParam().onDisk) writeFile(dir / file, file);
    EXPECT_EQ(bp::resolvePath(dir.path() + GetParam().asked), dir / GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Names,
    testing::Values(
        NameCase{"exact", {"Microsoft/FSX/Scenery.cfg"}, "\\Microsoft\\FSX\\Scenery.cfg", "Microsoft/FSX/Scenery.cfg"},
        NameCase{"folded_file", {"Microsoft/FSX/SCENERY.CFG"}, "\\Microsoft\\FSX\\Scenery.cfg",
                 "Microsoft/FSX/SCENERY.CFG"},
        NameCase{"folded_folders", {"microsoft/fsx/scenery.cfg"}, "/Microsoft/FSX/Scenery.cfg",
                 "microsoft/fsx/scenery.cfg"},
        NameCase{"exact_spelling_first", {"M/Scenery.cfg", "M/SCENERY.CFG", "M/scenery.cfg"}, "\\M\\Scenery.cfg",
                 "M/Scenery.cfg"},
        NameCase{"smallest_match_when_no_exact", {"M/scenery.cfg", "M/SCENERY.CFG"}, "\\M\\Scenery.Cfg",
                 "M/SCENERY.CFG"},
        NameCase{"missing_kept_as_given", {"Microsoft/other"}, "\\Microsoft\\FSX-SE\\Scenery.cfg",
                 "Microsoft/FSX-SE/Scenery.cfg"},
        NameCase{"spaces_in_names", {"Lockheed Martin/Prepar3D v2/scenery.cfg"},
                 "\\Lockheed Martin\\Prepar3D V2\\Scenery.cfg", "Lockheed Martin/Prepar3D v2/scenery.cfg"}),
    [](const testing::TestParamInfo<NameCase>& p) { return std::string(p.param.name); });

TEST(Names, DotBackslashIsTheWorkingFolder) {
    ScratchDir dir;
    writeFile(dir / "brackenfelloquistconfig.INI", "x");
    const std::string previous = std::filesystem::current_path().string();
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    const std::string resolved = bp::resolvePath(".\\BrackenfelloquistConfig.ini");
    ASSERT_EQ(::chdir(previous.c_str()), 0);
    EXPECT_EQ(resolved, "./brackenfelloquistconfig.INI");
}

// The data folder comes from WINEPREFIX, else from ~/.wine.
struct FolderCase {
    const char* name;
    const char* winePrefix;  // below the scratch folder; nullptr: unset, "": set but empty
    const char* made;        // folder made below the scratch folder, or nullptr
    const char* expected;    // below the scratch folder; nullptr: the lookup fails
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.name; }

class DataFolder : public testing::TestWithParam<FolderCase> {};

TEST_P(DataFolder, FollowsThePrefix) {
    const FolderCase& c = GetParam();
    ScratchDir dir;
    if (c.made != nullptr) bfq::test::makeFolders(dir / c.made);
    ::setenv("HOME", (dir / "home").c_str(), 1);
    if (c.winePrefix == nullptr) {
        ::unsetenv("WINEPREFIX");
    } else if (*c.winePrefix == '\0') {
        ::setenv("WINEPREFIX", "", 1);
    } else {
        ::setenv("WINEPREFIX", (dir / c.winePrefix).c_str(), 1);
    }
    char folder[bp::kFolderPathCapacity] = {};
    const bool found = bp::findCommonAppDataFolder(folder, sizeof folder);
    if (c.expected == nullptr) {
        EXPECT_FALSE(found) << folder;
    } else {
        ASSERT_TRUE(found);
        EXPECT_EQ(std::string(folder), dir / c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, DataFolder,
    testing::Values(FolderCase{"wineprefix", "pfx", "pfx/drive_c/ProgramData", "pfx/drive_c/ProgramData"},
                    FolderCase{"wineprefix_trailing_slash", "pfx/", "pfx/drive_c/ProgramData",
                               "pfx/drive_c/ProgramData"},
                    FolderCase{"case_folded", "pfx", "pfx/Drive_C/programdata", "pfx/Drive_C/programdata"},
                    FolderCase{"home_wine_when_unset", nullptr, "home/.wine/drive_c/ProgramData",
                               "home/.wine/drive_c/ProgramData"},
                    FolderCase{"home_wine_when_empty", "", "home/.wine/drive_c/ProgramData",
                               "home/.wine/drive_c/ProgramData"},
                    FolderCase{"prefix_wins_over_home", "pfx", "home/.wine/drive_c/ProgramData", nullptr},
                    FolderCase{"missing_folder_fails", "pfx", "pfx/drive_c", nullptr}),
    [](const testing::TestParamInfo<FolderCase>& p) { return std::string(p.param.name); });

TEST(DataFolder, FailsWhenItDoesNotFitTheBuffer) {
    ScratchDir dir;
    bfq::test::makeFolders(dir / "pfx/drive_c/ProgramData");
    ::setenv("WINEPREFIX", (dir / "pfx").c_str(), 1);
    const std::size_t needed = (dir / "pfx/drive_c/ProgramData").size() + 1;
    std::vector<char> buffer(needed);
    EXPECT_TRUE(bp::findCommonAppDataFolder(buffer.data(), needed));
    EXPECT_FALSE(bp::findCommonAppDataFolder(buffer.data(), needed - 1));
}

bp::FileStamp stampOf(const std::string& path) {
    std::string ignored;
    bp::FileStamp stamp;
    bp::readWholeFile(path, ignored, stamp);
    return stamp;
}

TEST(AtomicReplace, KeepsModeAndLeavesNoTemporaryFile) {
    ScratchDir dir;
    const std::string file = dir / "Scenery.cfg";
    writeFile(file, "old");
    ::chmod(file.c_str(), 0640);
    ASSERT_TRUE(bp::replaceFileAtomically(file, "new", stampOf(file)));
    EXPECT_EQ(readFile(file), "new");
    struct stat st {};
    ::stat(file.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(snapshotTree(dir.path()).size(), 1u);
}

TEST(AtomicReplace, FollowsASymbolicLink) {
    ScratchDir dir;
    writeFile(dir / "real/Scenery.cfg", "old");
    bfq::test::makeFolders(dir / "sim");
    ASSERT_EQ(::symlink((dir / "real/Scenery.cfg").c_str(), (dir / "sim/Scenery.cfg").c_str()), 0);
    ASSERT_TRUE(bp::replaceFileAtomically(dir / "sim/Scenery.cfg", "new", stampOf(dir / "sim/Scenery.cfg")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "sim/Scenery.cfg"));
    EXPECT_EQ(readFile(dir / "real/Scenery.cfg"), "new");
}

TEST(AtomicReplace, RefusesAFileChangedSinceItWasRead) {
    ScratchDir dir;
    const std::string file = dir / "Scenery.cfg";
    writeFile(file, "old");
    const bp::FileStamp stamp = stampOf(file);
    writeFile(file, "changed by someone else");
    EXPECT_FALSE(bp::replaceFileAtomically(file, "new", stamp));
    EXPECT_EQ(readFile(file), "changed by someone else");
    EXPECT_EQ(snapshotTree(dir.path()).size(), 1u);
}

TEST(AtomicReplace, RefusesAFolderInTheWay) {
    ScratchDir dir;
    bfq::test::makeFolders(dir / "Scenery.cfg");
    EXPECT_FALSE(bp::replaceFileAtomically(dir / "Scenery.cfg", "new", bp::FileStamp{}));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "Scenery.cfg"));
}

TEST(FolderLock, ASecondHolderWaitsAndGivesUp) {
    ScratchDir dir;
    writeFile(dir / "Scenery.cfg", "x");
    const int first = bp::lockFolderOf(dir / "Scenery.cfg", 1);
    ASSERT_GE(first, 0);
    EXPECT_EQ(bp::lockFolderOf(dir / "Scenery.cfg", 1), -2);
    bp::closeFolderLock(first);
    const int again = bp::lockFolderOf(dir / "Scenery.cfg", 1);
    EXPECT_GE(again, 0);
    bp::closeFolderLock(again);
    EXPECT_EQ(snapshotTree(dir.path()).size(), 1u);  // the lock leaves nothing behind
}

TEST(ProfileFile, ReadsStringsIntsAndNamesLikeWindows) {
    ScratchDir dir;
    writeFile(dir / "lib.ini", "[General]\r\nTitle=World\r\n[Area.001]\r\nTitle=  \"x\"  \r\nLayer= 12abc\r\nE=\r\n");
    bp::Profile profile((dir / "lib.ini").c_str());
    char buffer[6] = {'#', '#', '#', '#', '#', '#'};
    EXPECT_EQ(profile.readString("general", "TITLE", buffer, sizeof buffer), 5u);
    EXPECT_STREQ(buffer, "World");
    EXPECT_EQ(profile.readString("Area.001", "Title", buffer, 2), 1u);  // size - 1 characters at most
    EXPECT_STREQ(buffer, "x");
    EXPECT_EQ(profile.readString("Area.001", "E", buffer, sizeof buffer), 0u);
    EXPECT_EQ(profile.readString("Area.001", "Missing", buffer, sizeof buffer), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(profile.readInt("Area.001", "Layer", 0), 12);
    EXPECT_EQ(profile.readInt("Area.001", "Missing", 7), 7);
    EXPECT_EQ(profile.readInt("Area.001", "E", 7), 7);
    std::string names;
    EXPECT_EQ(profile.listSectionNames(names), 17u);
    EXPECT_EQ(names, std::string("General\0Area.001\0\0", 18));
}

TEST(ProfileFile, AnAbsentFileListsNothing) {
    ScratchDir dir;
    bp::Profile profile((dir / "absent.ini").c_str());
    std::string names;
    EXPECT_EQ(profile.listSectionNames(names), 0u);
    char buffer[8];
    EXPECT_EQ(profile.readString("A", "k", buffer, sizeof buffer), 0u);
}

TEST(ProfileFile, ANewSectionIsTheLastOneAfterwards) {
    ScratchDir dir;
    writeFile(dir / "lib.ini", "[A]\r\nk=1\r\n");
    bp::Profile profile((dir / "lib.ini").c_str());
    ASSERT_TRUE(profile.writeSection("B", "n=1\0m=2\0"));
    std::string names;
    profile.listSectionNames(names);
    EXPECT_EQ(names, std::string("A\0B\0\0", 5));
    EXPECT_EQ(readFile(dir / "lib.ini"), "[A]\r\nk=1\r\n[B]\r\nn=1\r\nm=2\r\n");
}

TEST(ProfileFile, NeverWritesAFileItCouldNotRead) {
    ScratchDir dir;
    bfq::test::makeFolders(dir / "lib.ini");
    bp::Profile profile((dir / "lib.ini").c_str());
    EXPECT_FALSE(profile.writeSection("B", "n=1\0"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "lib.ini"));
}

struct WholeFileCase {
    const char* name;
    std::string bytes;
};

void PrintTo(const WholeFileCase& c, std::ostream* os) { *os << c.name; }

class WholeFile : public testing::TestWithParam<WholeFileCase> {};

TEST_P(WholeFile, ReadsEveryByteOnce) {
    ScratchDir dir;
    writeFile(dir / "lib.ini", GetParam().bytes);
    std::string bytes = "stale";
    bp::FileStamp stamp;
    ASSERT_EQ(bp::readWholeFile(dir / "lib.ini", bytes, stamp), bp::ReadStatus::Ok);
    EXPECT_EQ(bytes, GetParam().bytes);
    EXPECT_EQ(stamp.size, GetParam().bytes.size());
}

std::string binaryBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919) % 256);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(Files, WholeFile,
                         testing::Values(WholeFileCase{"empty", ""}, WholeFileCase{"one_byte", "x"},
                                         WholeFileCase{"nul_bytes", std::string("a\0b\0", 4)},
                                         WholeFileCase{"exactly_64_kib", binaryBytes(65536)},
                                         WholeFileCase{"larger_than_one_read", binaryBytes(3 * 65536 + 17)}),
                         [](const testing::TestParamInfo<WholeFileCase>& p) { return std::string(p.param.name); });

TEST(WholeFile, AFileLongerThanItsStatedSizeIsReadToTheEnd) {
    // Files under /proc state a size of 0 and still hold text.
    std::string bytes;
    bp::FileStamp stamp;
    ASSERT_EQ(bp::readWholeFile("/proc/self/status", bytes, stamp), bp::ReadStatus::Ok);
    EXPECT_EQ(stamp.size, 0u);
    EXPECT_NE(bytes.find("Name:"), std::string::npos);
    EXPECT_EQ(bytes.back(), '\n');
}

}  // namespace
