#pragma once

// The tool's only door to the operating system: INI (profile) files and the
// common application data folder. On Windows it is the system's own profile
// functions; elsewhere it is the project's own layer. Nothing above this header
// knows which.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace bfq::platform {

enum class LockStatus {
    Held,      // this run has the library to itself until the profile is closed
    Unavailable,  // nothing could be locked (no folder there): the run goes on without
    Busy,      // another run kept it for longer than we wait
};

// How long a run waits for another run that holds the same library.
inline constexpr int kLockWaitSeconds = 30;

// Room for the common application data folder as the system gives it.
inline constexpr std::size_t kFolderPathCapacity = 4096;

// One INI file. Every lookup answers from one reading of the file.
class Profile {
public:
    explicit Profile(const char* path);
    ~Profile();
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;

    // Holds the file against other runs of this tool, waiting kLockWaitSeconds at most.
    LockStatus lockExclusive();

    // Copies at most size - 1 characters and a NUL; returns the count copied,
    // 0 when the key is absent or its value empty.
    std::uint32_t readString(const char* section, const char* key, char* buffer, std::uint32_t size);

    // The value as a decimal integer; fallback when the key is absent or empty.
    std::int32_t readInt(const char* section, const char* key, std::int32_t fallback);

    // Every section name in file order, each NUL-terminated, closed by an empty
    // name. Never truncated. Returns the count of characters, 0 when there is none.
    std::size_t listSectionNames(std::string& names);

    // Writes one section: keyValues is a list of NUL-terminated key=value strings
    // closed by an extra NUL. A new section goes after the last one. True on success;
    // on failure the file is as it was.
    bool writeSection(const char* section, const char* keyValues);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The machine-wide application data folder, without a trailing separator.
// False when it cannot be found or does not fit in size bytes.
bool findCommonAppDataFolder(char* buffer, std::size_t size);

}  // namespace bfq::platform
