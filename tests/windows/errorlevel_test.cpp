// What a batch file sees: the whole signed result code in %ERRORLEVEL%, where a POSIX
// shell would see only its low eight bits. Runs the .exe from Windows' own cmd under Wine.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <ostream>
#include <string>

#include "run_harness.h"

using namespace bfq::test;

namespace {

const std::string kFsx = "Microsoft/FSX/Scenery.cfg";
const std::string kConfig = "[Config]\r\nTarget=FSX\r\nTitle=Scenery 2\r\nPath=Addon Scenery\\Two\r\n";

struct BatchCase {
    const char* name;
    std::optional<std::string> config;
    std::optional<std::string> library;
    std::string printed;  // what the batch file echoes
};

void PrintTo(const BatchCase& c, std::ostream* os) { *os << c.name; }

std::string windowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
}

// Runs `cmd /c` on a batch file in the working folder; returns what it printed.
std::string runBatch(const Sandbox& box, const std::string& batch) {
    const ToolUnderTest& tool = ToolUnderTest::fromEnvironment();
    writeFile(box.work() + "/run.bat", batch);
    const std::string command = "cd '" + box.work() + "' && env -i PATH=/usr/bin:/bin LC_ALL=C WINEDEBUG=-all HOME='" +
                                (box.scratch() / "home") + "' WINEPREFIX='" + box.prefix() + "' '" + tool.runner +
                                "' cmd /c run.bat 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return "popen failed";
    std::string out;
    char chunk[256];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
    ::pclose(pipe);
    return out;
}

class Errorlevel : public testing::TestWithParam<BatchCase> {};

TEST_P(Errorlevel, BatchFileSeesTheSignedResult) {
    const ToolUnderTest& tool = ToolUnderTest::fromEnvironment();
    if (!tool.underWine()) GTEST_SKIP() << "needs the Windows executable and Wine";
    const BatchCase& c = GetParam();
    Sandbox box;
    if (c.config) box.writeConfig(*c.config);
    if (c.library) box.writeLibrary(kFsx, *c.library);
    const std::string batch = "@echo off\r\n" + windowsPath(tool.executable) +
                              " > NUL\r\n"
                              "echo %ERRORLEVEL%\r\n"
                              "if %ERRORLEVEL% EQU 1 echo added\r\n"
                              "if %ERRORLEVEL% EQU 2 echo already there\r\n"
                              "if %ERRORLEVEL% LSS 0 echo refused\r\n";
    EXPECT_EQ(runBatch(box, batch), c.printed);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Errorlevel,
    testing::Values(BatchCase{"activated", kConfig, library(1), "1\r\nadded\r\n"},
                    BatchCase{"already_present", kConfig, library(3), "2\r\nalready there\r\n"},
                    BatchCase{"no_configuration", std::nullopt, library(3), "-4\r\nrefused\r\n"},
                    BatchCase{"invalid_target", "[Config]\r\nTarget=P3D\r\n", library(3), "-1\r\nrefused\r\n"},
                    BatchCase{"no_library", kConfig, std::nullopt, "-14\r\nrefused\r\n"}),
    [](const testing::TestParamInfo<BatchCase>& p) { return std::string(p.param.name); });

}  // namespace
