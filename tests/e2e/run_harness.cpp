#include "run_harness.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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
    removeTree(programData() + "/Microsoft");
    removeTree(programData() + "/Lockheed Martin");
}

void Sandbox::writeConfig(const std::string& bytes) const { writeFile(config(), bytes); }

void Sandbox::writeLibrary(const std::string& relative, const std::string& bytes) const {
    writeFile(library(relative), bytes);
}

RunOutput Sandbox::run(const RunOptions& options) const {
    const ToolUnderTest& tool = ToolUnderTest::fromEnvironment();
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, STDERR_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        if (::chdir(work().c_str()) != 0) ::_exit(121);
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
            if (::setgid(*options.user) != 0 || ::setuid(*options.user) != 0) ::_exit(122);
        }
        if (tool.underWine()) {
            ::execl(tool.runner.c_str(), tool.runner.c_str(), tool.executable.c_str(), static_cast<char*>(nullptr));
        } else {
            ::execl(tool.executable.c_str(), tool.executable.c_str(), static_cast<char*>(nullptr));
        }
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    RunOutput output;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        output.out.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
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
        const std::string line = trimmed(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[' && line.find(']') != std::string::npos) {
            content.push_back({trimmed(line.substr(1, line.rfind(']') - 1)), {}});
        } else if (line.find('=') != std::string::npos && !content.empty()) {
            const std::size_t eq = line.find('=');
            content.back().second.emplace_back(trimmed(line.substr(0, eq)), trimmed(line.substr(eq + 1)));
        }
    }
    return content;
}

}  // namespace bfq::test
