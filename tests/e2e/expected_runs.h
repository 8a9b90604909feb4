#pragma once

// What the end-to-end tests expect of a run, written out here on their own rather than
// taken from the tool's table, so that a changed byte in a message shows up as a failure.

#include <optional>
#include <string>

namespace bfq::test {

// Libraries below the prefix's ProgramData folder.
inline const std::string kFsx = "Microsoft/FSX/Scenery.cfg";
inline const std::string kFsxSe = "Microsoft/FSX-SE/Scenery.cfg";
inline const std::string kP3d = "Lockheed Martin/Prepar3D/Scenery.cfg";
inline const std::string kP3d2 = "Lockheed Martin/Prepar3D v2/Scenery.cfg";

inline const std::string kNoTarget = "Error reading the Target Simulator from BrackenfelloquistConfig.ini";
inline const std::string kInvalidTarget = "Invalid Target Simulator!!!";
inline const std::string kUnreadable = "Error reading the Scenery.cfg file";
inline const std::string kBusy =
    "Error reading the Scenery.cfg file: another run kept it busy for too long, nothing was changed";
inline const std::string kLibraryTitle = "Error reading the Scenery title from Scenery.cfg (Vector)";
inline const std::string kLibraryPath = "Error reading the Scenery path from Scenery.cfg (Vector)";
inline const std::string kLibraryLayer = "Error reading the Scenery Layer from Scenery.cfg (Vector)";
inline const std::string kRequestTitle = "Error reading the Scenery title from BrackenfelloquistConfig.ini";
inline const std::string kRequestPath = "Error reading the Scenery path from BrackenfelloquistConfig.ini";
inline const std::string kCorrupt = "Error in Layer values. The Scenery.cfg is corrupt.\n";
inline const std::string kEmpty = "Error: Empty vectors (1).";
inline const std::string kWriteFailed = "Error writing Scenery.cfg";
inline const std::string kNoNumberLeft =
    "Error writing Scenery.cfg: the library has no area number left after Area.999";

// The request of most cases.
inline const std::string kTitle = "Brackenfell Valley Airfield";
inline const std::string kPath = "Addon Scenery\\Brackenfell Valley";

// A configuration file; a key left out when its value is nullopt.
inline std::string config(const std::string& target, const std::optional<std::string>& title = kTitle,
                          const std::optional<std::string>& path = kPath) {
    std::string text = "[Config]\r\nTarget=" + target + "\r\n";
    if (title) text += "Title=" + *title + "\r\n";
    if (path) text += "Path=" + *path + "\r\n";
    return text;
}

}  // namespace bfq::test
