#include "target_simulator.h"

#include <cstring>

namespace bfq {

namespace {

struct TargetInfo {
    TargetSimulator target;
    const char* relativePath;
    bool strictLayers;
};

constexpr TargetInfo kTargets[] = {
    {TargetSimulator::Fsx, "\\Microsoft\\FSX\\Scenery.cfg", true},
    {TargetSimulator::FsxSe, "\\Microsoft\\FSX-SE\\Scenery.cfg", true},
    {TargetSimulator::Prepar3D, "\\Lockheed Martin\\Prepar3D\\Scenery.cfg", false},
    {TargetSimulator::Prepar3Dv2, "\\Lockheed Martin\\Prepar3D v2\\Scenery.cfg", true},
};

const TargetInfo* infoOf(TargetSimulator target) {
    for (const TargetInfo& info : kTargets) {
        if (info.target == target) return &info;
    }
    return nullptr;
}

Outcome listSections(const char* libraryPath, std::unique_ptr<platform::Profile>& library,
                     std::string& sectionNames) {
    library = std::make_unique<platform::Profile>(libraryPath);
    if (library->lockExclusive() == platform::LockStatus::Busy) return Outcome::LibraryBusy;
    library->listSectionNames(sectionNames);
    return Outcome::Continue;
}

}  // namespace

TargetSimulator selectTarget(const char* targetText) {
    char c[5] = {};
    const std::size_t length = std::strlen(targetText);
    std::memcpy(c, targetText, length < 5 ? length : 5);
    const auto starts = [&](const char* prefix) { return std::strncmp(c, prefix, std::strlen(prefix)) == 0; };
    if (length < 3) return TargetSimulator::Invalid;
    if (starts("FSXS")) return c[4] == 'E' ? TargetSimulator::FsxSe : TargetSimulator::Fsx;
    if (starts("fsxs")) return c[4] == 'e' ? TargetSimulator::FsxSe : TargetSimulator::Fsx;
    if (starts("FSX") || starts("fsx")) return TargetSimulator::Fsx;
    if (starts("P3DV") || starts("p3dv")) {
        if (c[4] == '1') return TargetSimulator::Prepar3D;
        if (c[4] == '2') return TargetSimulator::Prepar3Dv2;
    }
    return TargetSimulator::Invalid;
}

const char* relativeLibraryPath(TargetSimulator target) {
    const TargetInfo* info = infoOf(target);
    return info != nullptr ? info->relativePath : "";
}

bool hasStrictLayerRule(TargetSimulator target) {
    const TargetInfo* info = infoOf(target);
    return info != nullptr && info->strictLayers;
}

Outcome resolveLibraryPath(TargetSimulator target, char (&relativePath)[kRelativePathSize],
                           char (&libraryPath)[kLibraryPathSize]) {
    std::memset(relativePath, 0, sizeof relativePath);
    std::memset(libraryPath, 0, sizeof libraryPath);
    std::strncpy(relativePath, relativeLibraryPath(target), sizeof relativePath - 1);
    char folder[platform::kFolderPathCapacity] = {};
    if (!platform::findCommonAppDataFolder(folder, sizeof folder)) return Outcome::NoAppDataFolder;
    const std::size_t folderLength = std::strlen(folder);
    const std::size_t relativeLength = std::strlen(relativePath);
    if (folderLength + relativeLength >= sizeof libraryPath) return Outcome::LibraryPathTooLong;
    std::memcpy(libraryPath, folder, folderLength);
    std::memcpy(libraryPath + folderLength, relativePath, relativeLength + 1);
    return Outcome::Continue;
}

Outcome openLibrary(TargetSimulator target, char (&relativePath)[kRelativePathSize],
                    char (&libraryPath)[kLibraryPathSize], std::unique_ptr<platform::Profile>& library,
                    std::string& sectionNames) {
    Outcome outcome = listSections(libraryPath, library, sectionNames);
    if (outcome != Outcome::Continue) return outcome;
    if (sectionNames.front() == '\0' && target == TargetSimulator::FsxSe) {
        // The Steam Edition may share the classic edition's library; the strict rule stays.
        library.reset();
        outcome = resolveLibraryPath(TargetSimulator::Fsx, relativePath, libraryPath);
        if (outcome == Outcome::LibraryPathTooLong) return outcome;
        if (outcome != Outcome::Continue) return Outcome::LibraryUnreadable;
        outcome = listSections(libraryPath, library, sectionNames);
        if (outcome != Outcome::Continue) return outcome;
    }
    return sectionNames.front() == '\0' ? Outcome::LibraryUnreadable : Outcome::Continue;
}

}  // namespace bfq
