// Which simulator a Target text selects, and where its library lies.
#include <gtest/gtest.h>

#include <ostream>

#include <cstring>

#include "scratch.h"
#include "target_simulator.h"

using bfq::Outcome;
using bfq::TargetSimulator;

namespace {

struct TargetCase {
    const char* text;
    TargetSimulator expected;
};

void PrintTo(const TargetCase& c, std::ostream* os) { *os << c.text; }

class Selection : public testing::TestWithParam<TargetCase> {};

TEST_P(Selection, ReadsTheFirstFiveCharactersExactly) {
    EXPECT_EQ(bfq::selectTarget(GetParam().text), GetParam().expected) << '"' << GetParam().text << '"';
}

constexpr auto Fsx = TargetSimulator::Fsx;
constexpr auto FsxSe = TargetSimulator::FsxSe;
constexpr auto P3d = TargetSimulator::Prepar3D;
constexpr auto P3d2 = TargetSimulator::Prepar3Dv2;
constexpr auto Invalid = TargetSimulator::Invalid;

INSTANTIATE_TEST_SUITE_P(
    Targets, Selection,
    testing::Values(TargetCase{"FSX", Fsx}, TargetCase{"fsx", Fsx}, TargetCase{"FSXA", Fsx},
                    TargetCase{"FSXtreme", Fsx}, TargetCase{"FSXSE", FsxSe}, TargetCase{"fsxse", FsxSe},
                    TargetCase{"FSXSE-Steam", FsxSe}, TargetCase{"FSXSe", Fsx}, TargetCase{"FSXs", Fsx},
                    TargetCase{"fsxsE", Fsx}, TargetCase{"FSXS", Fsx}, TargetCase{"FSXse", Fsx},
                    TargetCase{"fsxSE", Fsx}, TargetCase{"FSX-SE", Fsx}, TargetCase{"FsX", Invalid},
                    TargetCase{"Fsx", Invalid}, TargetCase{"fSX", Invalid}, TargetCase{"FS", Invalid},
                    TargetCase{"", Invalid}, TargetCase{"P3D", Invalid}, TargetCase{"P3DV1", P3d},
                    TargetCase{"p3dv1", P3d}, TargetCase{"P3DV12", P3d}, TargetCase{"P3DV2", P3d2},
                    TargetCase{"p3dv2", P3d2}, TargetCase{"P3DV2.5", P3d2}, TargetCase{"P3DV", Invalid},
                    TargetCase{"P3DV3", Invalid}, TargetCase{"P3Dv2", Invalid}, TargetCase{"p3dV2", Invalid},
                    TargetCase{"P3D v2", Invalid}, TargetCase{" FSX", Invalid}));

TEST(LibraryPath, EachTargetHasItsOwnFileAndRule) {
    EXPECT_STREQ(bfq::relativeLibraryPath(Fsx), "\\Microsoft\\FSX\\Scenery.cfg");
    EXPECT_STREQ(bfq::relativeLibraryPath(FsxSe), "\\Microsoft\\FSX-SE\\Scenery.cfg");
    EXPECT_STREQ(bfq::relativeLibraryPath(P3d), "\\Lockheed Martin\\Prepar3D\\Scenery.cfg");
    EXPECT_STREQ(bfq::relativeLibraryPath(P3d2), "\\Lockheed Martin\\Prepar3D v2\\Scenery.cfg");
    EXPECT_TRUE(bfq::hasStrictLayerRule(Fsx));
    EXPECT_TRUE(bfq::hasStrictLayerRule(FsxSe));
    EXPECT_FALSE(bfq::hasStrictLayerRule(P3d));
    EXPECT_TRUE(bfq::hasStrictLayerRule(P3d2));
}

// A prefix whose ProgramData path is exactly long enough that the library path has
// the given number of characters.
std::string prefixFor(const bfq::test::ScratchDir& dir, std::size_t libraryPathLength, TargetSimulator target) {
    const std::string tail = "/drive_c/ProgramData";
    const std::size_t fixed = dir.path().size() + 1 + tail.size() + std::strlen(bfq::relativeLibraryPath(target));
    std::string prefix = dir / std::string(libraryPathLength - fixed, 'p');
    bfq::test::makeFolders(prefix + tail);
    return prefix;
}

TEST(LibraryPath, FitsUpTo256CharactersAndIsRefusedBeyond) {
    for (const std::size_t length : {std::size_t{256}, std::size_t{257}}) {
        bfq::test::ScratchDir dir;
        ::setenv("WINEPREFIX", prefixFor(dir, length, Fsx).c_str(), 1);
        char relative[bfq::kRelativePathSize];
        char library[bfq::kLibraryPathSize];
        const Outcome outcome = bfq::resolveLibraryPath(Fsx, relative, library);
        if (length == 256) {
            EXPECT_EQ(outcome, Outcome::Continue);
            EXPECT_EQ(std::strlen(library), 256u);
            EXPECT_STREQ(library + 256 - std::strlen(relative), "\\Microsoft\\FSX\\Scenery.cfg");
        } else {
            EXPECT_EQ(outcome, Outcome::LibraryPathTooLong);
        }
    }
}

}  // namespace
