#pragma once

#include <array>
#include <cstdint>

#include "outcome.h"

namespace bfq {

// The signed result of a run, also the process exit status.
using RunResult = std::int32_t;

// Every way a run can end, with its code and the exact text it prints. The
// reports of codes 1 and 2 hold the request's title in place of %s.
struct ResultEntry {
    Outcome outcome;
    RunResult code;
    const char* text;
    bool namesTitle;
};

#define BFQ_RULE "------------------------------------------------------"

inline constexpr std::array kResults = {
    ResultEntry{Outcome::Activated, 1, "\n" BFQ_RULE "\n\nThe scenery %s was activated\n\n" BFQ_RULE "\n\n", true},
    ResultEntry{Outcome::AlreadyPresent, 2,
                "\n" BFQ_RULE "\n\nThe scenery %s already exists in the Scenery Library. \n\n" BFQ_RULE "\n\n", true},
    ResultEntry{Outcome::InvalidTarget, -1, "Invalid Target Simulator!!!", false},
    ResultEntry{Outcome::LibraryTitleMissing, -2, "Error reading the Scenery title from Scenery.cfg (Vector)", false},
    ResultEntry{Outcome::LibraryPathMissing, -3, "Error reading the Scenery path from Scenery.cfg (Vector)", false},
    ResultEntry{Outcome::LibraryLayerMissing, -4, "Error reading the Scenery Layer from Scenery.cfg (Vector)", false},
    ResultEntry{Outcome::TargetMissing, -4, "Error reading the Target Simulator from BrackenfelloquistConfig.ini",
                false},
    ResultEntry{Outcome::RequestTitleMissing, -5, "Error reading the Scenery title from BrackenfelloquistConfig.ini",
                false},
    ResultEntry{Outcome::RequestPathMissing, -6, "Error reading the Scenery path from BrackenfelloquistConfig.ini",
                false},
    ResultEntry{Outcome::LayersCorrupt, -7, "Error in Layer values. The Scenery.cfg is corrupt.\n", false},
    ResultEntry{Outcome::EmptyLists, -9, "Error: Empty vectors (1).", false},
    ResultEntry{Outcome::LibraryUnreadable, -14, "Error reading the Scenery.cfg file", false},
    ResultEntry{Outcome::LibraryPathTooLong, -14,
                "Error reading the Scenery.cfg file: its path is longer than 256 characters", false},
    ResultEntry{Outcome::LibraryBusy, -14,
                "Error reading the Scenery.cfg file: another run kept it busy for too long, nothing was changed",
                false},
    ResultEntry{Outcome::OutOfMemory, -14, "Error reading the Scenery.cfg file: not enough memory", false},
    ResultEntry{Outcome::NoAppDataFolder, -15, "The program couldn't find the Common application data folder",
                false},
    ResultEntry{Outcome::WriteFailed, -16, "Error writing Scenery.cfg", false},
    ResultEntry{Outcome::NoAreaNumberLeft, -16,
                "Error writing Scenery.cfg: the library has no area number left after Area.999", false},
};

#undef BFQ_RULE

// The entry of an outcome that ends the run.
const ResultEntry& resultOf(Outcome outcome);

}  // namespace bfq
