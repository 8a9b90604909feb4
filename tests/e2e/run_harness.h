#pragma once

// Runs the built tool the way a user does: in a working folder holding the
// configuration file, against a Wine-style prefix, and reports its exit status,
// its standard output and, through snapshots, every file it could have touched.
//
// The tool comes from the environment: BFQ_TOOL is the executable; when
// BFQ_RUNNER is set (Wine's loader) the tool runs under it, with BFQ_WINEPREFIX
// as the one prefix all cases share.

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "scratch.h"

namespace bfq::test {

struct ToolUnderTest {
    std::string executable;
    std::string runner;
    std::string sharedPrefix;
    bool underWine() const { return !runner.empty(); }
    static const ToolUnderTest& fromEnvironment();
};

struct RunOptions {
    std::optional<uid_t> user = {};                   // run as this user (the tests run as root)
    std::optional<unsigned long> fileSizeLimit = {};  // RLIMIT_FSIZE in bytes
    std::vector<std::pair<std::string, std::string>> environment = {};  // added or replaced
    std::string workFolder = {};  // instead of the sandbox's own, for runs side by side
};

struct RunOutput {
    int exitStatus = -1;  // as the shell sees it; 128 + signal when killed
    std::string out;
};

// A run that has started and has not been waited for.
struct StartedRun {
    pid_t pid = -1;
    int output = -1;  // the read end of its standard output
};

// Waits for a started run and collects what it printed.
RunOutput finish(StartedRun run);

// A working folder and a prefix, fresh for each case (under Wine the prefix is
// the shared one, its simulator folders emptied before and after).
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::string& prefix() const { return prefix_; }
    std::string programData() const { return prefix_ + "/drive_c/ProgramData"; }
    std::string work() const { return scratch_ / "work"; }
    std::string config() const { return work() + "/BrackenfelloquistConfig.ini"; }
    std::string library(const std::string& relative) const { return programData() + "/" + relative; }
    const ScratchDir& scratch() const { return scratch_; }

    void writeConfig(const std::string& bytes) const;
    void writeLibrary(const std::string& relative, const std::string& bytes) const;

    RunOutput run(const RunOptions& options = {}) const;
    // Returns as soon as the tool is started, so that a test can act while it runs.
    StartedRun start(const RunOptions& options = {}) const;
    // Starts every run at the same moment (each waits at a gate until all exist), then waits for all.
    std::vector<RunOutput> runTogether(const std::vector<RunOptions>& runs) const;

    // Every file in the working folder and below ProgramData.
    std::map<std::string, std::string> snapshot() const;

private:
    void clearSimulatorFolders() const;
    StartedRun start(const RunOptions& options, int gate) const;
    std::string executableFor(const RunOptions& options) const;

    ScratchDir scratch_;
    std::string prefix_;
};

// What a run prints: the banner, then text. Under Wine the C runtime ends lines with CRLF.
std::string expectedOutput(const std::string& text);

inline constexpr const char* kBanner =
    "******************************************************\n"
    "*              Brackenfelloquist v. 1.6              *\n"
    "******************************************************\n\n";

std::string rule();
std::string activatedReport(const std::string& title);
std::string alreadyPresentReport(const std::string& title);

// Exit status as a POSIX shell sees a signed result code: its low eight bits.
int shellStatus(int resultCode);

// Libraries as installers leave them: CRLF lines, a header, areas with layers 1..n.
std::string headerSection(const std::string& title = "FS9 World Scenery");
std::string areaSection(int number, const std::string& title, const std::string& local, const std::string& layer,
                        const std::string& extra = "Active=TRUE\r\nRequired=FALSE\r\n");
std::string library(int areas);
// The section a successful run appends, byte for byte.
std::string addedSection(const std::string& name, const std::string& title, const std::string& local, int layer);

// Sections and keys of an INI text, in file order, blank lines and comments left out:
// how a library is compared where the writer may rewrite the whole file.
using IniContent = std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>>;
IniContent contentOf(const std::string& text);

}  // namespace bfq::test
