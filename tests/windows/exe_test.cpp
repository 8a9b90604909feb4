// The Windows executable as a file: what Windows reads from it before running it.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "pe_image.h"
#include "scratch.h"

using namespace bfq::test;

namespace {

const PeImage& exe() {
    static const PeImage image = readPeImage(readFile(BFQ_WINDOWS_EXE).value());
    return image;
}

std::string lowered(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return s;
}

// The version resource holds its texts as UTF-16.
std::string utf16(const std::string& ascii) {
    std::string wide;
    for (char c : ascii) wide += {c, '\0'};
    return wide;
}

TEST(WindowsExe, IsA64BitConsoleProgram) {
    EXPECT_EQ(exe().machine, 0x8664);
    // Console subsystem: a batch file waits for it, sees its report and gets its result code.
    EXPECT_EQ(exe().subsystem, 3);
}

TEST(WindowsExe, ImportsOnlySystemDlls) {
    // The C and C++ runtimes are linked in: the .exe runs without any DLL shipped beside it.
    const std::set<std::string> system = {"kernel32.dll", "advapi32.dll", "shell32.dll",
                                          "msvcrt.dll",   "user32.dll",   "ntdll.dll"};
    ASSERT_FALSE(exe().imports.empty());
    for (const auto& [dll, functions] : exe().imports) EXPECT_TRUE(system.count(lowered(dll))) << dll;
}

TEST(WindowsExe, UsesTheSystemsProfileAndFolderFunctions) {
    const std::pair<std::string, std::string> expected[] = {
        {"kernel32.dll", "GetPrivateProfileStringA"},    {"kernel32.dll", "GetPrivateProfileIntA"},
        {"kernel32.dll", "GetPrivateProfileSectionNamesA"}, {"kernel32.dll", "WritePrivateProfileSectionA"},
        {"shell32.dll", "SHGetFolderPathA"},
    };
    for (const auto& [dll, function] : expected) {
        const auto imported = std::find_if(exe().imports.begin(), exe().imports.end(),
                                           [&](const auto& entry) { return lowered(entry.first) == dll; });
        ASSERT_NE(imported, exe().imports.end()) << dll;
        EXPECT_NE(std::find(imported->second.begin(), imported->second.end(), function), imported->second.end())
            << dll << " " << function;
    }
}

TEST(WindowsExe, ManifestAsksForTheInvokersRightsOnly) {
    // Type 24 (RT_MANIFEST), id 1: the one manifest Windows reads when it starts an .exe.
    const auto manifest = exe().resources.find({24, 1});
    ASSERT_NE(manifest, exe().resources.end());
    const std::string& text = manifest->second;
    EXPECT_EQ(text, readFile(BFQ_MANIFEST_SOURCE).value());
    const std::size_t element = text.find("<requestedExecutionLevel ");
    ASSERT_NE(element, std::string::npos);
    EXPECT_EQ(text.find("<requestedExecutionLevel", element + 1), std::string::npos);
    const std::string attributes = text.substr(element, text.find("/>", element) - element);
    EXPECT_NE(attributes.find(" level=\"asInvoker\""), std::string::npos) << attributes;
    EXPECT_NE(attributes.find(" uiAccess=\"false\""), std::string::npos) << attributes;
}

TEST(WindowsExe, VersionResourceNamesTheProduct) {
    const auto version = exe().resources.find({16, 1});  // RT_VERSION
    ASSERT_NE(version, exe().resources.end());
    const std::string& v = version->second;
    // The fixed part starts with its signature; file and product version 1.6 sit in its high words.
    const std::size_t fixed = v.find(std::string("\xBD\x04\xEF\xFE", 4));
    ASSERT_NE(fixed, std::string::npos);
    ASSERT_LE(fixed + 24, v.size());
    EXPECT_EQ(v.substr(fixed + 8, 4), std::string("\x06\x00\x01\x00", 4));
    EXPECT_EQ(v.substr(fixed + 16, 4), std::string("\x06\x00\x01\x00", 4));
    for (const char* text : {"ProductName", "Brackenfelloquist", "ProductVersion", "1.6", "brackenfelloquist.exe"}) {
        EXPECT_NE(v.find(utf16(text)), std::string::npos) << text;
    }
}

}  // namespace
