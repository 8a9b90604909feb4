// Times whole runs of the built tool against the least that standard tools need
// for the same job: reading the library once (cat) when the scenery is already
// there, and a durable copy of it (dd conv=fsync) when a section is added.
// Tool and baseline alternate within one repetition, so both see the same
// machine; the table gives medians of elapsed and processor time (getrusage
// through wait4), and the tool's peak memory as GNU time reports it.
//
// Usage: whole_run_bench TOOL [REPETITIONS]

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "library_generator.h"

namespace fs = std::filesystem;

namespace {

using bfq::bench::areaTitle;
using bfq::bench::configFile;
using bfq::bench::generateLibrary;

enum class RunPath { AlreadyExists, Added };

// The growth of the cost is read from the largest library against the 999-area one.
enum class Scale { Other, Reference, Largest };

struct Case {
    const char* label;
    int areas;
    RunPath path;
    Scale scale;
};

// The largest library the tool can add to holds 998 areas: the new one is Area.999,
// the last number there is.
constexpr Case kCases[] = {
    {"100 areas", 100, RunPath::AlreadyExists, Scale::Other},
    {"100 areas", 100, RunPath::Added, Scale::Other},
    {"999 areas", 999, RunPath::AlreadyExists, Scale::Reference},
    {"998 areas, adds Area.999", 998, RunPath::Added, Scale::Reference},
    {"10,000 sections", 9'999, RunPath::AlreadyExists, Scale::Other},
    {"10,000 sections", 9'999, RunPath::Added, Scale::Other},
    {"50,000 sections", 49'999, RunPath::AlreadyExists, Scale::Largest},
    {"50,000 sections", 49'999, RunPath::Added, Scale::Largest},
};

fs::path caseFolder(const fs::path& scratch, const Case& c) {
    return scratch / (std::to_string(c.areas) + (c.path == RunPath::Added ? "-added" : "-exists"));
}

constexpr double kMiB = 1024.0 * 1024.0;
// What "a few MiB" buys: the process itself (loader, C++ runtime, stack) before any library byte.
constexpr double kFixedAllowanceMiB = 4.0;

fs::path scratchFolder;  // removed on every way out

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "whole_run_bench: %s\n", what.c_str());
    std::error_code ignored;
    if (!scratchFolder.empty()) fs::remove_all(scratchFolder, ignored);
    std::exit(1);
}

struct Measured {
    double seconds = 0;
    double cpuSeconds = 0;  // user and system time of the child: what waiting for a busy CPU does not inflate
    int exitStatus = -1;
    std::string output;  // what it printed, when asked for
};

struct Command {
    std::vector<std::string> args;
    std::string workingFolder;
    std::vector<std::string> environment;
    bool captureOutput;  // through a pipe, read once the child has ended; otherwise to /dev/null
};

std::string findOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = folder + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    fail("cannot find " + name + " on PATH");
}

// Everything the child needs is prepared before the clock starts; posix_spawn keeps the
// cost of starting a process as low for the baselines as for the tool.
Measured run(const Command& command) {
    std::vector<char*> argv;
    for (const std::string& a : command.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : command.environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    // The tool prints less than a pipe holds, so it never waits for the reader.
    int pipeEnds[2] = {-1, -1};
    if (command.captureOutput && ::pipe2(pipeEnds, O_CLOEXEC) != 0) fail("pipe failed");
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addchdir_np(&actions, command.workingFolder.c_str());
    if (command.captureOutput) {
        ::posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    } else {
        ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }

    const auto start = std::chrono::steady_clock::now();
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) fail("cannot start " + command.args[0] + ": " + std::strerror(spawned));
    int status = 0;
    rusage usage{};
    while (::wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) fail("wait4 failed");
    }
    const auto end = std::chrono::steady_clock::now();
    Measured m;
    if (command.captureOutput) {
        ::close(pipeEnds[1]);
        char chunk[4096];
        ssize_t n = 0;
        while ((n = ::read(pipeEnds[0], chunk, sizeof chunk)) > 0) m.output.append(chunk, static_cast<std::size_t>(n));
        ::close(pipeEnds[0]);
    }
    m.seconds = std::chrono::duration<double>(end - start).count();
    m.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    m.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return m;
}

// The tool's largest resident size, from GNU time in a run of its own. The kernel's count for a
// child (getrusage) includes the memory of whatever started it: here the benchmark itself.
long peakKiB(const Command& toolRun, const fs::path& report) {
    Command measured = toolRun;
    measured.args.insert(measured.args.begin(), {"/usr/bin/time", "--quiet", "-f", "%M", "-o", report.string()});
    run(measured);
    std::ifstream in(report);
    long kib = 0;
    if (!(in >> kib)) fail("/usr/bin/time gave no figure (is the package \"time\" installed?)");
    return kib;
}

void writeDurably(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) fail("cannot write " + path);
    const bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok) fail("cannot write " + path);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string withThousands(long long value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string formatted(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

struct Row {
    const Case* c;
    std::size_t fileBytes;
    double toolSeconds;
    double baselineSeconds;
    double toolCpuSeconds;
    double baselineCpuSeconds;
    long toolPeakKiB;
};

Row measure(const Case& c, const std::string& tool, const fs::path& scratch, int repetitions) {
    const fs::path folder = caseFolder(scratch, c);
    const fs::path prefix = folder / "prefix";
    const fs::path work = folder / "work";
    const std::string library = (prefix / "drive_c/ProgramData/Microsoft/FSX/Scenery.cfg").string();
    const std::string pristine = generateLibrary(c.areas);
    writeDurably(library, pristine);
    fs::create_directories(work);
    // "Already exists": the last area's title, so every section is read and every entry compared.
    const bool added = c.path == RunPath::Added;
    const std::string title = added ? std::string("Brackenfell Valley Airfield") : areaTitle(c.areas);
    writeDurably((work / "BrackenfelloquistConfig.ini").string(), configFile("FSX", title));

    const std::vector<std::string> environment = {"WINEPREFIX=" + prefix.string(), "LC_ALL=C",
                                                  "PATH=/usr/bin:/bin"};
    const std::string copy = (folder / "copy.cfg").string();
    const Command toolRun{{tool}, work.string(), environment, true};
    const Command baselineRun =
        added ? Command{{findOnPath("dd"), "if=" + library, "of=" + copy, "bs=1M", "conv=fsync", "status=none"},
                        folder.string(), environment, false}
              : Command{{findOnPath("cat"), library}, folder.string(), environment, false};
    const int expectedStatus = added ? 1 : 2;
    const char* expectedText = added ? "was activated" : "already exists in the Scenery Library";

    // Untimed: the library as it was, the copy gone, so every timed run does the whole job afresh.
    const auto prepare = [&] {
        if (!added) return;
        writeDurably(library, pristine);
        fs::remove(copy);
        ::sync();
    };
    const auto timeTool = [&] {
        prepare();
        const Measured m = run(toolRun);
        if (m.exitStatus != expectedStatus || m.output.find(expectedText) == std::string::npos) {
            fail(std::string(c.label) + ": the tool ended with " + std::to_string(m.exitStatus) + ", printing:\n" +
                 m.output);
        }
        return m;
    };
    const auto timeBaseline = [&] {
        prepare();
        const Measured m = run(baselineRun);
        if (m.exitStatus != 0) fail(std::string(c.label) + ": the baseline failed");
        return m;
    };

    timeTool();  // warm-up: page cache, loader cache
    timeBaseline();
    std::vector<double> toolTimes, baselineTimes, toolCpu, baselineCpu;
    for (int rep = 0; rep < repetitions; ++rep) {
        // Alternate which goes first, so neither always follows the other's cache effects.
        Measured t, b;
        if (rep % 2 == 0) {
            t = timeTool();
            b = timeBaseline();
        } else {
            b = timeBaseline();
            t = timeTool();
        }
        toolTimes.push_back(t.seconds);
        baselineTimes.push_back(b.seconds);
        toolCpu.push_back(t.cpuSeconds);
        baselineCpu.push_back(b.cpuSeconds);
    }
    prepare();
    const long peak = peakKiB(toolRun, folder / "peak.txt");
    return {&c, pristine.size(), median(toolTimes), median(baselineTimes), median(toolCpu), median(baselineCpu), peak};
}

void printTable(const std::vector<Row>& rows) {
    std::printf("| library | path | sections | file size | tool, median | baseline, median | ratio | CPU time ratio | "
                "peak memory | allowance (3 x size + %.0f MiB) |\n",
                kFixedAllowanceMiB);
    std::printf("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const Row& r : rows) {
        const bool added = r.c->path == RunPath::Added;
        const double peakMiB = static_cast<double>(r.toolPeakKiB) / 1024.0;
        const double allowanceMiB = 3.0 * static_cast<double>(r.fileBytes) / kMiB + kFixedAllowanceMiB;
        std::printf("| %s | %s | %s | %s KiB | %s ms | %s %s ms | %s | %s | %s MiB | %s MiB%s |\n", r.c->label,
                    added ? "added" : "already exists", withThousands(r.c->areas + 1).c_str(),
                    formatted("%.1f", static_cast<double>(r.fileBytes) / 1024.0).c_str(),
                    formatted("%.2f", r.toolSeconds * 1e3).c_str(), added ? "dd conv=fsync" : "cat",
                    formatted("%.2f", r.baselineSeconds * 1e3).c_str(),
                    formatted("%.2fx", r.toolSeconds / r.baselineSeconds).c_str(),
                    formatted("%.2fx", r.toolCpuSeconds / r.baselineCpuSeconds).c_str(),
                    formatted("%.1f", peakMiB).c_str(),
                    formatted("%.1f", allowanceMiB).c_str(), peakMiB <= allowanceMiB ? "" : " (over)");
    }
}

const Row* find(const std::vector<Row>& rows, Scale scale, RunPath path) {
    for (const Row& r : rows) {
        if (r.c->path == path && r.c->scale == scale) return &r;
    }
    return nullptr;
}

void printGrowth(const std::vector<Row>& rows) {
    std::printf("\nHow the cost grows, 50,000 sections against 999 areas (50x the sections):\n");
    for (RunPath path : {RunPath::AlreadyExists, RunPath::Added}) {
        const Row* small = find(rows, Scale::Reference, path);
        const Row* large = find(rows, Scale::Largest, path);
        if (small == nullptr || large == nullptr) continue;
        std::printf("  %-15s tool %.1fx (CPU time %.1fx), baseline %.1fx\n",
                    path == RunPath::Added ? "added:" : "already exists:", large->toolSeconds / small->toolSeconds,
                    large->toolCpuSeconds / small->toolCpuSeconds, large->baselineSeconds / small->baselineSeconds);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) fail("usage: whole_run_bench TOOL [REPETITIONS]");
    const std::string tool = fs::absolute(argv[1]).string();
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 31;
    if (::access(tool.c_str(), X_OK) != 0) fail(tool + " is not an executable");
    if (repetitions < 1) fail("repetitions must be at least 1");

    // On the disk the libraries live on, not in memory: a durable copy must reach the disk.
    const char* tmp = std::getenv("TMPDIR");
    std::string scratchTemplate = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/var/tmp") +
                                  "/brackenfelloquist-bench.XXXXXX";
    if (::mkdtemp(scratchTemplate.data()) == nullptr) fail("cannot make a scratch folder");
    scratchFolder = scratchTemplate;
    const fs::path scratch = scratchFolder;

    std::printf("Whole runs of %s, %d repetitions each, medians; scratch on %s\n\n", tool.c_str(), repetitions,
                scratch.c_str());
    std::fflush(stdout);
    std::vector<Row> rows;
    for (const Case& c : kCases) {
        rows.push_back(measure(c, tool, scratch, repetitions));
        fs::remove_all(caseFolder(scratch, c));
    }
    fs::remove_all(scratch);
    printTable(rows);
    printGrowth(rows);
    return 0;
}
