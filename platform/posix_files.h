#pragma once

// File services of the project's own platform layer.

#include <string>

namespace bfq::platform {

// Turns a Windows-style name ('\' or '/' between parts, ".\" for the working
// folder) into a path on disk. A part that does not exist with its exact
// spelling is matched without regard to ASCII letter case, as a Wine prefix does.
std::string resolvePath(const std::string& name);

enum class ReadStatus { Ok, Absent, Failed };

// Which file was read, so that a write can tell whether someone replaced or
// changed it in between.
struct FileStamp {
    bool present = false;
    unsigned long long device = 0, inode = 0, size = 0;
    long long modifiedSeconds = 0, modifiedNanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};

ReadStatus readWholeFile(const std::string& path, std::string& bytes, FileStamp& stamp);

// Replaces the file's content so that a crash at any moment leaves either the old
// content or the new one. Follows a symbolic link; keeps mode and, where it may,
// owner. Refuses when the file is no longer the one described by expected.
// False, with the file untouched and no temporary file left, on any failure.
bool replaceFileAtomically(const std::string& path, const std::string& bytes, const FileStamp& expected);

// Holds an exclusive lock on the folder that holds path until closeFolderLock;
// the atomic replacement swaps the file, never the folder. -1 when the folder
// cannot be opened, -2 when the wait runs out.
int lockFolderOf(const std::string& path, int waitSeconds);
void closeFolderLock(int handle);

// The Wine prefix's ProgramData folder: $WINEPREFIX, else $HOME/.wine.
bool wineProgramData(std::string& folder);

}  // namespace bfq::platform
