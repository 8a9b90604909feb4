#pragma once

#include <memory>
#include <string>

#include "outcome.h"
#include "profile.h"

namespace bfq {

enum class TargetSimulator { Invalid, Fsx, FsxSe, Prepar3D, Prepar3Dv2 };

inline constexpr std::size_t kRelativePathSize = 512;
inline constexpr std::size_t kLibraryPathSize = 257;  // at most 256 characters

// Reads the first five characters of the target text only; see the README for the accepted values.
TargetSimulator selectTarget(const char* targetText);

// The library's place below the common application data folder.
const char* relativeLibraryPath(TargetSimulator target);

// Strict targets refuse a library whose highest layer is not its number of areas.
bool hasStrictLayerRule(TargetSimulator target);

// Builds the library path from the common application data folder; refuses a path
// that does not fit rather than cut it and use another file.
Outcome resolveLibraryPath(TargetSimulator target, char (&relativePath)[kRelativePathSize],
                           char (&libraryPath)[kLibraryPathSize]);

// Opens the library, holds it against other runs, and lists its section names;
// for FSX-SE, falls back once to the classic FSX library when that lists none.
Outcome openLibrary(TargetSimulator target, char (&relativePath)[kRelativePathSize],
                    char (&libraryPath)[kLibraryPathSize], std::unique_ptr<platform::Profile>& library,
                    std::string& sectionNames);

}  // namespace bfq
