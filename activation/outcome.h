#pragma once

namespace bfq {

// How a phase of the run ended. Continue lets the run go on; every other value
// ends it, and the run driver's table gives its result code and its message.
enum class Outcome {
    Continue,
    Activated,
    AlreadyPresent,
    InvalidTarget,
    LibraryTitleMissing,
    LibraryPathMissing,
    LibraryLayerMissing,
    TargetMissing,
    RequestTitleMissing,
    RequestPathMissing,
    LayersCorrupt,
    EmptyLists,
    LibraryUnreadable,
    LibraryPathTooLong,
    LibraryBusy,
    OutOfMemory,
    NoAppDataFolder,
    WriteFailed,
    NoAreaNumberLeft,
};

}  // namespace bfq
