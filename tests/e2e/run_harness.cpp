#include "run_harness.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace bfq::test {

namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string trimmed(const std::string& s) {
    const std::size_t start = s.find_first_not_of(" \t");
    if (start == std::string::npos) return "";
    return s.substr(start, s.find_last_not_of(" \t") - start + 1);
}

}  // namespace

const ToolUnderTest& ToolUnderTest::fromEnvironment() {
    static const ToolUnderTest tool = [] {
        ToolUnderTest t{env("BFQ_TOOL"), env("BFQ_RUNNER"), env("BFQ_WINEPREFIX")};
        if (t.executable.empty()) throw std::runtime_error("BFQ_TOOL must name the executable under test");
        // The tool runs in its own working folder: a relative name would no longer reach it.
        t.executable = std::filesystem::absolute(t.executable).string();
        return t;
    }();
    return tool;
}

Sandbox::Sandbox() {
    const ToolUnderTest& tool = ToolUnderTest::fromEnvironment();
    prefix_ = tool.underWine() ? tool.sharedPrefix : scratch_ / "prefix";
    clearSimulatorFolders();
    makeFolders(programData());
    makeFolders(work());
    makeFolders(scratch_ / "home");
}

Sandbox::~Sandbox() {
    if (ToolUnderTest::fromEnvironment().underWine()) clearSimulatorFolders();
}

void Sandbox::clearSimulatorFolders() const {
    // In any letter case: Wine finds "microsoft/fsx" as "Microsoft\FSX", so a case's
    // lower-case folder would otherwise serve as the library of the cases after it.
    std::vector<std::string> simulatorFolders;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(programData(), ignored)) {
        std::string name = entry.path().filename().string();
        for (char& c : name) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (name == "microsoft" || name == "lockheed martin") simulatorFolders.push_back(entry.path().string());
    }
    for (const std::string& folder : simulatorFolders) removeTree(folder);
}

void Sandbox::writeConfig(const std::string& bytes) const { writeFile(config(), bytes); }

void Sandbox::writeLibrary(const std::string& relative, const std::string& bytes) const {
    writeFile(library(relative), bytes);
}

RunOutput Sandbox::run(const RunOptions& options) const { return finish(start(options, -1)); }

StartedRun Sandbox::start(const RunOptions& options) const { return start(options, -1); }

std::vector<RunOutput> Sandbox::runTogether(const std::vector<RunOptions>& runs) const {
    int gate[2];
    if (::pipe2(gate, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    std::vector<StartedRun> started;
    for (const RunOptions& options : runs) started.push_back(start(options, gate[0]));
    const std::string tickets(runs.size(), 'g');  // one byte lets one child go
    const bool opened = ::write(gate[1], tickets.data(), tickets.size()) == static_cast<ssize_t>(tickets.size());
    ::close(gate[1]);
    ::close(gate[0]);
    std::vector<RunOutput> outputs;
    for (const StartedRun& run : started) outputs.push_back(finish(run));
    if (!opened) throw std::runtime_error("the gate did not open");
    return outputs;
}

// Another user may not reach the build tree: that run gets its own copy of the tool.
std::string Sandbox::executableFor(const RunOptions& options) const {
    const ToolUnderTest& tool = ToolUnderTest::fromEnvironment();
    if (!options.user || tool.underWine()) return tool.executable;
    const std::string copy = scratch_ / "tool/brackenfelloquist";
    if (!std::filesystem::exists(copy)) {
        makeFolders(scratch_ / "tool");
        std::filesystem::copy_file(tool.executable, copy);
        std::filesystem::permissions(copy, std::filesystem::perms(0755));
    }
    return copy;
}

StartedRun Sandbox::start(const RunOptions& options, int gate) const {
    const ToolUnderTest& tool = ToolUnderTest::fromEnvironment();
    const std::string executable = executableFor(options);
    const std::string workFolder = options.workFolder.empty() ? work() : options.workFolder;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, STDERR_FILENO);
        if (::chdir(workFolder.c_str()) != 0) ::_exit(121);
        std::vector<std::pair<std::string, std::string>> vars = {
            {"PATH", "/usr/local/bin:/usr/bin:/bin"}, {"HOME", scratch_ / "home"}, {"LC_ALL", "C"},
            {"WINEPREFIX", prefix_}, {"WINEDEBUG", "-all"}};
        for (const auto& extra : options.environment) vars.push_back(extra);
        ::clearenv();
        for (const auto& [name, value] : vars) ::setenv(name.c_str(), value.c_str(), 1);
        if (options.fileSizeLimit) {
            const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::signal(SIGXFSZ, SIG_IGN);
        }
        if (options.user) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(*options.user) != 0 || ::setuid(*options.user) != 0) {
                ::_exit(122);
            }
        }
        if (gate >= 0) {
            char ignored;
            while (::read(gate, &ignored, 1) < 0 && errno == EINTR) {
            }
        }
        if (tool.underWine()) {
            ::execl(tool.runner.c_str(), tool.runner.c_str(), executable.c_str(), static_cast<char*>(nullptr));
        } else {
            ::execl(executable.c_str(), executable.c_str(), static_cast<char*>(nullptr));
        }
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    return {child, pipeFds[0]};
}

RunOutput finish(StartedRun run) {
    RunOutput output;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(run.output, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        output.out.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(run.output);
    int status = 0;
    while (::waitpid(run.pid, &status, 0) < 0 && errno == EINTR) {
    }
    output.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return output;
}

std::map<std::string, std::string> Sandbox::snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& [path, bytes] : snapshotTree(work())) files["work/" + path] = bytes;
    for (const auto& [path, bytes] : snapshotTree(programData())) files["ProgramData/" + path] = bytes;
    return files;
}

std::string expectedOutput(const std::string& text) {
    const std::string plain = kBanner + text;
    if (!ToolUnderTest::fromEnvironment().underWine()) return plain;
    std::string crlf;
    for (char c : plain) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    return crlf;
}

std::string rule() { return "------------------------------------------------------"; }

std::string activatedReport(const std::string& title) {
    return "\n" + rule() + "\n\nThe scenery " + title + " was activated\n\n" + rule() + "\n\n";
}

std::string alreadyPresentReport(const std::string& title) {
    return "\n" + rule() + "\n\nThe scenery " + title + " already exists in the Scenery Library. \n\n" + rule() +
           "\n\n";
}

int shellStatus(int resultCode) { return resultCode & 0xFF; }

std::string headerSection(const std::string& title) {
    return "[General]\r\nTitle=" + title + "\r\nDescription=FS9 Scenery Data\r\nClean_on_Exit=TRUE\r\n\r\n";
}

std::string areaSection(int number, const std::string& title, const std::string& local, const std::string& layer,
                        const std::string& extra) {
    char name[32];
    std::snprintf(name, sizeof name, "[Area.%03d]\r\n", number);
    std::string s = name;
    if (!title.empty()) s += "Title=" + title + "\r\n";
    if (!local.empty()) s += "Local=" + local + "\r\n";
    if (!layer.empty()) s += "Layer=" + layer + "\r\n";
    return s + extra + "\r\n";
}

std::string library(int areas) {
    std::string text = headerSection();
    for (int i = 1; i <= areas; ++i) {
        text += areaSection(i, "Scenery " + std::to_string(i), "Scenery\\Folder" + std::to_string(i),
                            std::to_string(i));
    }
    return text;
}

std::string addedSection(const std::string& name, const std::string& title, const std::string& local, int layer) {
    return "[" + name + "]\r\nTitle=" + title + "\r\nLocal=" + local + "\r\nLayer=" + std::to_string(layer) +
           "\r\nActive=TRUE\r\nRequired=FALSE\r\n";
}

IniContent contentOf(const std::string& bytes) {
    // UTF-16 test libraries hold ASCII only: one byte of each code unit is enough.
    std::string text = bytes;
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        text.clear();
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) text += bytes[i];
    }
    IniContent content;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        std::string raw = text.substr(pos, end - pos);
        raw.resize(std::min(raw.find('\0'), raw.size()));  // the system's reader ends a line's text at a NUL
        const std::string line = trimmed(raw);
        pos = end + 1;
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[' && line.find(']') != std::string::npos) {
            content.push_back({trimmed(line.substr(1, line.rfind(']') - 1)), {}});
            // No name reaches a section named "", and the system's writer drops its header.
            if (content.back().first.empty()) content.pop_back();
        } else if (line.find('=') != std::string::npos && !content.empty()) {
            const std::size_t eq = line.find('=');
            content.back().second.emplace_back(trimmed(line.substr(0, eq)), trimmed(line.substr(eq + 1)));
        }
    }
    return content;
}

}  // namespace bfq::test
