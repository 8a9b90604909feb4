#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "area_writer.h"
#include "library_reader.h"
#include "profile.h"
#include "scenery_entry.h"
#include "target_simulator.h"

namespace bfq {

inline constexpr const char* kConfigFile = ".\\BrackenfelloquistConfig.ini";

// Everything one run holds, from the banner to the result code. Text buffers
// start zero-filled.
struct RunState {
    char targetText[kValueSize] = {};
    TargetSimulator target = TargetSimulator::Invalid;
    char relativePath[kRelativePathSize] = {};
    char libraryPath[kLibraryPathSize] = {};
    std::string sectionNames;  // grows to hold every name: a partial list could miss a title or the last area
    std::vector<SceneryEntry> entries;
    std::vector<std::int32_t> layers;
    char title[kValueSize] = {};  // scratch while loading, then the request's title
    char path[kValueSize] = {};   // scratch while loading, then the request's path
    std::int32_t highestLayer = 0;
    char sectionText[kSectionTextSize] = {};
    char newSectionName[kAreaNameSize] = {};

    std::unique_ptr<platform::Profile> config;
    std::unique_ptr<platform::Profile> library;  // held against other runs until the run ends
};

}  // namespace bfq
