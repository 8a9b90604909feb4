// The user's library is never lost: runs at once, a full disk, missing rights,
// links and folders in the way, hostile libraries. Every case runs the built tool
// and looks at every file afterwards.
#include <gtest/gtest.h>

#include <ostream>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "expected_runs.h"
#include "run_harness.h"

using namespace bfq::test;

namespace {

const std::string kFsxFolder = "Microsoft/FSX";

bool isRoot() { return ::geteuid() == 0; }

// The unprivileged user the tool runs as where file rights must count (root ignores them).
uid_t nobody() {
    const passwd* user = ::getpwnam("nobody");
    return user != nullptr ? user->pw_uid : 65534;
}

void giveTo(const std::string& path, uid_t user, mode_t mode) {
    ASSERT_EQ(::chown(path.c_str(), user, user), 0) << path;
    ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
}

// Every exit status a run may end with: the table's codes as the shell sees them.
bool isTableStatus(int status) {
    static const std::set<int> statuses = [] {
        std::set<int> s;
        for (int code : {1, 2, -1, -2, -3, -4, -5, -6, -7, -9, -14, -15, -16}) s.insert(shellStatus(code));
        return s;
    }();
    return statuses.count(status) == 1;
}

// The library afterwards holds the old bytes and exactly the one new section; under
// Wine the system's writer rewrites the file, so there its content is compared.
void expectGained(const std::string& before, const std::string& after, const std::string& appended) {
    if (ToolUnderTest::fromEnvironment().underWine()) {
        EXPECT_EQ(contentOf(after), contentOf(before + appended));
    } else {
        EXPECT_EQ(after, before + appended);
    }
}

// ---- Runs at once ------------------------------------------------------------

struct Request {
    std::string target;
    std::string title;
};

struct TogetherCase {
    const char* name;
    std::vector<Request> runs;
};

void PrintTo(const TogetherCase& c, std::ostream* os) { *os << c.name; }

std::vector<Request> eightRuns(const std::function<Request(int)>& request) {
    std::vector<Request> runs;
    for (int i = 0; i < 8; ++i) runs.push_back(request(i));
    return runs;
}

class RunsAtOnce : public testing::TestWithParam<TogetherCase> {};

// Every run sees the areas of those before it: each title added once, areas and layers distinct.
TEST_P(RunsAtOnce, LoseNoSection) {
    const std::vector<Request>& requests = GetParam().runs;
    constexpr std::size_t kAreas = 3;
    constexpr int kRounds = 3;  // each round adds its own titles: a lost section may need a few tries to show
    Sandbox box;
    box.writeLibrary(kFsx, library(static_cast<int>(kAreas)));
    std::set<std::string> allTitles;

    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<RunOptions> runs;
        std::vector<std::string> titles;
        for (std::size_t i = 0; i < requests.size(); ++i) {
            titles.push_back(requests[i].title + " " + std::to_string(round));
            RunOptions options;
            options.workFolder = box.scratch() / ("run-" + std::to_string(i));
            writeFile(options.workFolder + "/BrackenfelloquistConfig.ini",
                      config(requests[i].target, titles.back(), "Addon Scenery\\" + titles.back()));
            runs.push_back(options);
        }
        const std::string before = *readFile(box.library(kFsx));
        const std::vector<RunOutput> outputs = box.runTogether(runs);

        std::set<std::string> activated;
        for (std::size_t i = 0; i < outputs.size(); ++i) {
            if (outputs[i].exitStatus == 1 && activated.insert(titles[i]).second) {
                EXPECT_EQ(outputs[i].out, expectedOutput(activatedReport(titles[i]))) << "run " << i;
            } else {
                EXPECT_EQ(outputs[i].exitStatus, 2) << "run " << i;  // the title went in once, by another run
                EXPECT_EQ(outputs[i].out, expectedOutput(alreadyPresentReport(titles[i]))) << "run " << i;
            }
        }
        EXPECT_EQ(activated, std::set<std::string>(titles.begin(), titles.end()));
        allTitles.insert(titles.begin(), titles.end());

        const std::string after = *readFile(box.library(kFsx));
        if (!ToolUnderTest::fromEnvironment().underWine()) {
            EXPECT_EQ(after.substr(0, before.size()), before);  // only appended to
        }
        const IniContent content = contentOf(after);
        ASSERT_EQ(content.size(), 1 + kAreas + allTitles.size());  // the header, the old areas, one per title
        std::set<std::string> names, found;
        std::vector<int> layers;
        for (std::size_t s = 1; s < content.size(); ++s) {
            names.insert(content[s].first);
            for (const auto& [key, value] : content[s].second) {
                if (key == "Layer") layers.push_back(std::stoi(value));
                if (key == "Title" && s > kAreas) found.insert(value);
            }
        }
        EXPECT_EQ(names.size(), content.size() - 1) << "two areas share a name";
        std::sort(layers.begin(), layers.end());
        std::vector<int> expectedLayers(content.size() - 1);
        for (std::size_t l = 0; l < expectedLayers.size(); ++l) expectedLayers[l] = static_cast<int>(l) + 1;
        EXPECT_EQ(layers, expectedLayers);
        EXPECT_EQ(found, allTitles);
    }
    // Nothing but the library in its folder: no temporary file, no lock file.
    EXPECT_EQ(snapshotTree(box.library(kFsxFolder)).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Safety, RunsAtOnce,
    testing::Values(
        TogetherCase{"eight_titles",
                     eightRuns([](int i) { return Request{"FSX", "Concurrent Scenery " + std::to_string(i)}; })},
        TogetherCase{"one_title_eight_times", eightRuns([](int) { return Request{"FSX", "The Same Scenery"}; })},
        // The Steam Edition without a library of its own shares the classic one, and its runs take turns with FSX's.
        TogetherCase{"fsx_and_fsxse_share_a_library", eightRuns([](int i) {
                         return Request{i % 2 == 0 ? "FSX" : "FSXSE", "Shared Scenery " + std::to_string(i)};
                     })}),
    [](const testing::TestParamInfo<TogetherCase>& p) { return std::string(p.param.name); });

// Holds the library's folder the way a run of the tool does.
class HeldLibrary {
public:
    explicit HeldLibrary(const std::string& folder)
        : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {  // the tool must not inherit it
        held_ = fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    }
    ~HeldLibrary() { release(); }
    HeldLibrary(const HeldLibrary&) = delete;
    HeldLibrary& operator=(const HeldLibrary&) = delete;
    bool held() const { return held_; }
    void release() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
    bool held_ = false;
};

const char* const kWineLocksWithAMutex = "the Windows build locks with a named mutex, which a Linux test cannot hold";

TEST(LockedLibrary, ARunGivesUpAfterItsBoundedWaitAndWritesNothing) {
    if (ToolUnderTest::fromEnvironment().underWine()) GTEST_SKIP() << kWineLocksWithAMutex;
    Sandbox box;
    box.writeConfig(config("FSX"));
    box.writeLibrary(kFsx, library(3));
    const auto before = box.snapshot();
    HeldLibrary lock(box.library(kFsxFolder));
    ASSERT_TRUE(lock.held());

    const auto started = std::chrono::steady_clock::now();
    const RunOutput result = box.run();
    const auto waited = std::chrono::steady_clock::now() - started;

    EXPECT_EQ(result.exitStatus, shellStatus(-14));
    EXPECT_EQ(result.out, expectedOutput(kBusy));
    EXPECT_EQ(box.snapshot(), before);
    EXPECT_GE(waited, std::chrono::seconds(30));  // it waited its full time before giving up
}

TEST(LockedLibrary, ARunWaitsForTheHolderAndThenAdds) {
    if (ToolUnderTest::fromEnvironment().underWine()) GTEST_SKIP() << kWineLocksWithAMutex;
    Sandbox box;
    box.writeConfig(config("FSX"));
    const std::string original = library(3);
    box.writeLibrary(kFsx, original);
    HeldLibrary lock(box.library(kFsxFolder));
    ASSERT_TRUE(lock.held());

    const StartedRun run = box.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    int status = 0;
    EXPECT_EQ(::waitpid(run.pid, &status, WNOHANG), 0) << "the run did not wait for the library";
    EXPECT_EQ(readFile(box.library(kFsx)), original);
    lock.release();
    const RunOutput result = finish(run);

    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, expectedOutput(activatedReport(kTitle)));
    EXPECT_EQ(readFile(box.library(kFsx)), original + addedSection("Area.004", kTitle, kPath, 4));
}

// ---- Faults: nothing changes ---------------------------------------------------

struct FaultCase {
    const char* name;
    void (*prepare)(const Sandbox& box, uid_t user);  // after the configuration and the library are in place
    bool asAnotherUser;                             // file rights count only for a user other than root
    std::optional<unsigned long> fileSizeLimit;
    int code;
    std::string message;
    const char* skipUnderWine;  // why the case cannot apply to the Windows build, or nullptr
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

const char* const kWineDropsBlankLines =
    "the system's writer drops the library's blank lines: its file is shorter than this limit";
const char* const kWineNeedsItsOwner = "Wine runs only as the owner of its prefix";

class Faults : public testing::TestWithParam<FaultCase> {};

TEST_P(Faults, LeaveEveryFileAsItWas) {
    const FaultCase& c = GetParam();
    if (c.skipUnderWine != nullptr && ToolUnderTest::fromEnvironment().underWine()) GTEST_SKIP() << c.skipUnderWine;
    if (c.asAnotherUser && !isRoot()) GTEST_SKIP() << "handing files to another user needs root";
    Sandbox box;
    box.writeConfig(config("FSX"));
    box.writeLibrary(kFsx, library(3));
    if (c.prepare != nullptr) c.prepare(box, nobody());
    if (HasFatalFailure()) return;
    const auto before = box.snapshot();

    RunOptions options;
    if (c.asAnotherUser) options.user = nobody();
    options.fileSizeLimit = c.fileSizeLimit;
    const RunOutput result = box.run(options);

    EXPECT_EQ(result.exitStatus, shellStatus(c.code));
    EXPECT_EQ(result.out, expectedOutput(c.message));
    EXPECT_EQ(box.snapshot(), before);  // byte for byte, and no temporary file left
}

// A copy of the library left beside it by an earlier Windows write that could not put it back
// (or by a machine that stopped mid-write) may be the only whole library: no run replaces it.
TEST(Faults, AnEarlierBackupCopyIsNeverReplaced) {
    Sandbox box;
    box.writeConfig(config("FSX"));
    box.writeLibrary(kFsx, library(3));
    const std::string backup = kFsx + ".bfq-backup";
    box.writeLibrary(backup, library(5));
    const auto before = box.snapshot();

    const RunOutput result = box.run();

    if (ToolUnderTest::fromEnvironment().underWine()) {
        // The Windows build writes in place behind such a copy; without room for its own it refuses.
        EXPECT_EQ(result.exitStatus, shellStatus(-16));
        EXPECT_EQ(result.out, expectedOutput(kWriteFailed));
        EXPECT_EQ(box.snapshot(), before);
    } else {
        // The Linux build never writes in place and needs no copy.
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(readFile(box.library(kFsx)), library(3) + addedSection("Area.004", kTitle, kPath, 4));
    }
    EXPECT_EQ(readFile(box.library(backup)), library(5));
}

// Every fault case starts from library(3); a run that succeeds adds its new area to it.
const std::size_t kLibrarySize = library(3).size();

INSTANTIATE_TEST_SUITE_P(
    Safety, Faults,
    testing::Values(
        // The disk fills while the new library is written.
        FaultCase{"disk_full_at_the_first_byte", nullptr, false, 0ul, -16, kWriteFailed, nullptr},
        FaultCase{"disk_full_halfway", nullptr, false, kLibrarySize / 2, -16, kWriteFailed, nullptr},
        FaultCase{"disk_full_just_past_the_old_size", nullptr, false, kLibrarySize + 10, -16, kWriteFailed, nullptr},
        FaultCase{"disk_full_at_the_last_byte", nullptr, false,
                  kLibrarySize + addedSection("Area.004", kTitle, kPath, 4).size() - 1, -16, kWriteFailed,
                  kWineDropsBlankLines},
        // No right to write.
        FaultCase{"library_of_another_user", nullptr, true, {}, -16, kWriteFailed, kWineNeedsItsOwner},
        FaultCase{"read_only_library_in_own_folder",
                  [](const Sandbox& box, uid_t user) {
                      giveTo(box.library(kFsxFolder), user, 0755);
                      giveTo(box.library(kFsx), user, 0444);
                  },
                  true, {}, -16, kWriteFailed, kWineNeedsItsOwner},
        // Our writer needs a temporary file beside the library; Windows would write in place.
        FaultCase{"own_library_in_a_folder_of_another_user",
                  [](const Sandbox& box, uid_t user) { giveTo(box.library(kFsx), user, 0644); }, true, {}, -16,
                  kWriteFailed, kWineNeedsItsOwner},
        // Nothing to read.
        FaultCase{"library_is_a_folder",
                  [](const Sandbox& box, uid_t) {
                      std::filesystem::remove(box.library(kFsx));
                      makeFolders(box.library(kFsx) + "/Area.001");
                  },
                  false, {}, -14, kUnreadable, nullptr},
        FaultCase{"library_unreadable",
                  [](const Sandbox& box, uid_t) { giveTo(box.library(kFsx), 0, 0600); }, true, {}, -14,
                  kUnreadable, kWineNeedsItsOwner},
        FaultCase{"library_is_a_dangling_link",
                  [](const Sandbox& box, uid_t) {
                      std::filesystem::remove(box.library(kFsx));
                      std::filesystem::create_symlink(box.scratch() / "gone/Scenery.cfg", box.library(kFsx));
                  },
                  false, {}, -14, kUnreadable, nullptr},
        FaultCase{"configuration_is_a_folder",
                  [](const Sandbox& box, uid_t) {
                      std::filesystem::remove(box.config());
                      makeFolders(box.config());
                  },
                  false, {}, -4, kNoTarget, nullptr},
        FaultCase{"configuration_unreadable",
                  [](const Sandbox& box, uid_t) { giveTo(box.config(), 0, 0600); }, true, {}, -4, kNoTarget,
                  kWineNeedsItsOwner}),
    [](const testing::TestParamInfo<FaultCase>& p) { return std::string(p.param.name); });

// ---- A library behind a symbolic link ------------------------------------------

struct LinkCase {
    const char* name;
    std::string target;                 // where the real library lies, below the scratch folder
    std::vector<std::string> hops = {};  // links between the simulator's name and the target
};

void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }

class LinkedLibrary : public testing::TestWithParam<LinkCase> {};

// The target gains the area; every link stays the link it was.
TEST_P(LinkedLibrary, TargetGainsTheAreaLinkStays) {
    const LinkCase& c = GetParam();
    Sandbox box;
    box.writeConfig(config("FSX"));
    const std::string original = library(3);
    const std::string target = box.scratch() / c.target;
    writeFile(target, original);
    makeFolders(box.library(kFsxFolder));
    std::string pointsTo = target;
    for (auto hop = c.hops.rbegin(); hop != c.hops.rend(); ++hop) {
        std::filesystem::create_symlink(pointsTo, box.scratch() / *hop);
        pointsTo = box.scratch() / *hop;
    }
    std::filesystem::create_symlink(pointsTo, box.library(kFsx));
    auto expected = box.snapshot();

    const RunOutput result = box.run();

    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, expectedOutput(activatedReport(kTitle)));
    EXPECT_EQ(box.snapshot(), expected);  // the link and everything else below ProgramData as they were
    for (const std::string& hop : c.hops) EXPECT_TRUE(std::filesystem::is_symlink(box.scratch() / hop));
    expectGained(original, readFile(target).value_or(""), addedSection("Area.004", kTitle, kPath, 4));
    // Nothing left beside the real library either.
    EXPECT_EQ(snapshotTree(std::filesystem::path(target).parent_path().string()).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Safety, LinkedLibrary,
                         testing::Values(LinkCase{"to_another_folder", "elsewhere/Scenery.cfg"},
                                         LinkCase{"through_two_links", "elsewhere/Scenery.cfg",
                                                  {"hop1.cfg", "hop2.cfg"}}),
                         [](const testing::TestParamInfo<LinkCase>& p) { return std::string(p.param.name); });

TEST(LinkedLibrary, RelativeLinkInTheSameFolder) {
    Sandbox box;
    box.writeConfig(config("FSX"));
    const std::string original = library(3);
    box.writeLibrary("Microsoft/FSX/Scenery.real", original);
    std::filesystem::create_symlink("Scenery.real", box.library(kFsx));

    const RunOutput result = box.run();

    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(std::filesystem::read_symlink(box.library(kFsx)), "Scenery.real");
    expectGained(original, readFile(box.library("Microsoft/FSX/Scenery.real")).value_or(""),
                 addedSection("Area.004", kTitle, kPath, 4));
    EXPECT_EQ(snapshotTree(box.library(kFsxFolder)).size(), 2u);
}

// ---- Hostile libraries --------------------------------------------------------

struct HostileCase {
    const char* name;
    std::string (*make)();
    int code;  // what our own build ends with; the Windows build must end with a code of the table
    std::string message;
    std::string appended = {};        // for code 1: what the library gains
    const char* skipUnderWine = nullptr;  // why the case cannot apply to the Windows build
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

const std::size_t kMebibyte = 1024 * 1024;

// A literal with the NUL bytes inside it.
template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}
const std::string kAdded = addedSection("Area.004", kTitle, kPath, 4);

std::string blankLines(std::size_t count) {
    std::string lines;
    lines.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) lines += "\r\n";
    return lines;
}

std::vector<HostileCase> hostileCases() {
    return {
        {"fifty_thousand_sections", [] { return library(49'999); }, -16, kNoNumberLeft},
        {"fifty_thousand_sections_title_at_the_end",
         [] { return library(49'999) + areaSection(50'000, kTitle, "x", "50000"); }, 2,
         alreadyPresentReport(kTitle)},
        {"one_mebibyte_comment_line",
         [] {
             return headerSection() + "; " + std::string(kMebibyte, 'c') + "\r\n" +
                    library(3).substr(headerSection().size());
         },
         1, activatedReport(kTitle), kAdded},
        {"one_mebibyte_title", [] { return headerSection() + areaSection(1, std::string(kMebibyte, 't'), "a", "1") +
                                           areaSection(2, "b", "b", "2") + areaSection(3, "c", "c", "3"); },
         1, activatedReport(kTitle), kAdded},
        {"one_mebibyte_last_line_without_break", [] { return library(3) + std::string(kMebibyte, 'x'); }, 1,
         activatedReport(kTitle), "\r\n" + kAdded},
        {"nul_bytes_in_values",
         [] { return library(3) + bytes("Description=a\0b\0\0c\r\n"); }, 1, activatedReport(kTitle),
         kAdded},
        // No lookup can reach a section whose name holds a NUL: it is not listed, and not overwritten.
        {"nul_byte_in_a_section_name",
         [] { return headerSection() + areaSection(1, "a", "a", "1") + bytes("[Area\0.002]\r\nTitle=b\r\n"); },
         1, activatedReport(kTitle), addedSection("Area.002", kTitle, kPath, 2)},
        {"only_nul_bytes", [] { return std::string(4096, '\0'); }, -14, kUnreadable},
        {"byte_order_mark_before_a_header",  // no header any more: its keys fall into the area above
         [] { return library(1) + "\xEF\xBB\xBF" + areaSection(2, "b", "b", "2") + areaSection(3, "c", "c", "3"); },
         -7, kCorrupt},
        {"byte_order_mark_inside_a_value",
         [] { return library(2) + areaSection(3, "c\xEF\xBB\xBF", "c", "3"); }, 1, activatedReport(kTitle), kAdded},
        {"hundred_thousand_blank_lines_inside",
         [] { return headerSection() + blankLines(100'000) + library(3).substr(headerSection().size()); }, 1,
         activatedReport(kTitle), kAdded},
        {"hundred_thousand_blank_lines_at_the_end", [] { return library(3) + blankLines(100'000); }, 1,
         activatedReport(kTitle), kAdded},
        // Every repeat of a name reads the first section of that name, here one with 100,000 keys.
        {"hundred_thousand_repeats_of_a_huge_section",
         [] {
             std::string text = headerSection() + "[Area.001]\r\n";
             for (int i = 0; i < 100'000; ++i) text += "k=1\r\n";
             text += "Title=a\r\nLocal=a\r\nLayer=1\r\n";
             for (int i = 0; i < 100'000; ++i) text += "[Area.001]\r\n";
             return text;
         },
         -7, kCorrupt, "",
         "it guards our own reader's lookups; the system's reader under Wine takes about 150 s a run for it"},
    };
}

class HostileLibrary : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileLibrary, EndsWithACodeAndChangesNothingUnlessItAdds) {
    const HostileCase& c = GetParam();
    if (c.skipUnderWine != nullptr && ToolUnderTest::fromEnvironment().underWine()) GTEST_SKIP() << c.skipUnderWine;
    Sandbox box;
    box.writeConfig(config("FSX"));
    const std::string original = c.make();
    box.writeLibrary(kFsx, original);
    const auto before = box.snapshot();

    const RunOutput result = box.run();

    ASSERT_TRUE(isTableStatus(result.exitStatus)) << result.exitStatus;
    auto rest = box.snapshot();
    if (result.exitStatus == 1) {
        expectGained(original, rest["ProgramData/" + kFsx], c.appended.empty() ? kAdded : c.appended);
        rest["ProgramData/" + kFsx] = original;
    }
    EXPECT_EQ(rest, before);
    if (ToolUnderTest::fromEnvironment().underWine()) return;  // the system's reader may see the library otherwise
    EXPECT_EQ(result.exitStatus, shellStatus(c.code));
    EXPECT_EQ(result.out, expectedOutput(c.message));
}

INSTANTIATE_TEST_SUITE_P(Safety, HostileLibrary, testing::ValuesIn(hostileCases()),
                         [](const testing::TestParamInfo<HostileCase>& p) { return std::string(p.param.name); });

}  // namespace
