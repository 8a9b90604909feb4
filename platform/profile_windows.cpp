// The Windows side of the platform layer: the system's own profile functions and
// folder lookup, so the tool reads and writes Scenery.cfg exactly as the simulators do.

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "ini_document.h"
#include "profile.h"

namespace bfq::platform {

namespace {

// The system reports a section-name list that did not fit as size - 2 characters.
constexpr DWORD kFirstNamesBufferSize = 20000;
constexpr DWORD kFirstValueBufferSize = 64;

// Every run on this machine, whichever user starts it and however the path is spelled
// (Windows ignores letter case in file names), must find the same lock for one library.
std::string lockNameFor(const std::string& path) {
    std::string full(MAX_PATH, '\0');
    DWORD length = GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.assign(length, '\0');
        length = GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    full.resize(length > 0 && length < full.size() ? length : 0);
    if (full.empty()) full = path;
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char c : full) {
        hash ^= static_cast<unsigned char>(foldAscii(c == '/' ? '\\' : c));
        hash *= 1099511628211ull;
    }
    char name[64];
    std::snprintf(name, sizeof name, "Global\\Brackenfelloquist.%016llx", static_cast<unsigned long long>(hash));
    return name;
}

// Runs of other users must be able to wait on the lock too; the creator's default
// access rules would shut them out. Everyone may wait and release, nothing more.
HANDLE openLock(const std::string& name) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;0x00100001;;;WD)", SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        return nullptr;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    HANDLE mutex = CreateMutexA(&attributes, FALSE, name.c_str());
    LocalFree(descriptor);
    // Another user's lock exists already: open it with the rights everyone has.
    if (mutex == nullptr && GetLastError() == ERROR_ACCESS_DENIED) {
        mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
    }
    return mutex;
}

// The whole value, however long: a cut number could read as another one.
std::string readWholeValue(const char* section, const char* key, const char* path) {
    std::string value(kFirstValueBufferSize, '\0');
    for (;;) {
        const DWORD count =
            GetPrivateProfileStringA(section, key, "", value.data(), static_cast<DWORD>(value.size()), path);
        if (count + 1 < value.size()) {
            value.resize(count);
            return value;
        }
        value.assign(value.size() * 2, '\0');
    }
}

bool readFileBytes(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool isAscii(std::string_view s) {
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// The system ends every line it writes, the last one too; a file cut short may not end so.
bool endsWithLineBreak(const IniDocument& document) {
    const std::string& b = document.bytes();
    const std::size_t n = b.size();
    const auto isBreak = [](char c) { return c == '\n' || c == '\r'; };
    switch (document.encoding()) {
    case TextEncoding::Utf16Le: return n >= 4 && b[n - 1] == '\0' && isBreak(b[n - 2]);
    case TextEncoding::Utf16Be: return n >= 4 && b[n - 2] == '\0' && isBreak(b[n - 1]);
    default: return n > 0 && isBreak(b[n - 1]);
    }
}

// Whether the library on disk holds every section it held before, the written one among
// them, with each written key. Read from the disk, not through the system, whose cache
// answers with what it meant to write. A write cut short loses the end of the file: the
// last keys, or their last characters, which ASCII values show (the tool's always end so).
bool isWrittenWhole(const IniDocument& before, const std::string& path, const char* section, const char* keyValues) {
    std::string bytes;
    if (!readFileBytes(path, bytes)) return false;
    const IniDocument after(std::move(bytes));
    if (!endsWithLineBreak(after)) return false;
    std::string expected, found;
    before.sectionNames(expected);
    after.sectionNames(found);
    const std::string_view name = trimBlanks(section);
    bool listed = false;
    for (const char* n = expected.c_str(); *n != '\0'; n += std::strlen(n) + 1) {
        listed = listed || equalsFolded(n, name);
    }
    if (!listed) expected.insert(expected.size() - 1, std::string(name) + '\0');  // a new section comes last
    if (found != expected) return false;
    for (const char* line = keyValues; *line != '\0'; line += std::strlen(line) + 1) {
        const std::string_view text = line;
        const std::size_t eq = text.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view* value = after.find(name, text.substr(0, eq));
        const std::string_view given = trimBlanks(text.substr(eq + 1));
        if (value == nullptr || value->empty() != given.empty()) return false;
        if (!isAscii(given)) continue;  // it may come back in the file's own encoding
        // Read back, a value loses one pair of quotes around it.
        const bool quoted =
            given.size() >= 2 && (given.front() == '"' || given.front() == '\'') && given.back() == given.front();
        if (*value != given && !(quoted && *value == given.substr(1, given.size() - 2))) return false;
    }
    return true;
}

}  // namespace

struct Profile::State {
    std::string path;
    HANDLE lock = nullptr;  // held from lockExclusive until the profile is closed
};

Profile::Profile(const char* path) : state_(std::make_unique<State>()) { state_->path = path; }

Profile::~Profile() {
    if (state_->lock != nullptr) {
        ReleaseMutex(state_->lock);
        CloseHandle(state_->lock);
    }
}

LockStatus Profile::lockExclusive() {
    if (state_->lock != nullptr) return LockStatus::Held;
    HANDLE mutex = openLock(lockNameFor(state_->path));
    if (mutex == nullptr) return LockStatus::Unavailable;
    const DWORD waited = WaitForSingleObject(mutex, static_cast<DWORD>(kLockWaitSeconds) * 1000);
    // An abandoned lock belonged to a run that ended without letting go: the library is free now.
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        state_->lock = mutex;
        return LockStatus::Held;
    }
    CloseHandle(mutex);
    return waited == WAIT_TIMEOUT ? LockStatus::Busy : LockStatus::Unavailable;
}

std::uint32_t Profile::readString(const char* section, const char* key, char* buffer, std::uint32_t size) {
    if (size == 0) return 0;
    return GetPrivateProfileStringA(section, key, "", buffer, size, state_->path.c_str());
}

std::int32_t Profile::readInt(const char* section, const char* key, std::int32_t fallback) {
    const auto value = static_cast<std::int32_t>(GetPrivateProfileIntA(section, key, fallback, state_->path.c_str()));
    if (value == 0) return 0;
    // The system wraps a number outside the 32-bit range into another one and reads "0x10"
    // as 16. A layer written like that is nonsense: read its text again by our own rule,
    // which gives 0 for both, so the run refuses the library as the Linux build does.
    const std::string text = readWholeValue(section, key, state_->path.c_str());
    return text.empty() ? fallback : parseProfileInt(text);
}

std::size_t Profile::listSectionNames(std::string& names) {
    std::string buffer(kFirstNamesBufferSize, '\0');
    DWORD count = 0;
    for (;;) {
        count = GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()),
                                               state_->path.c_str());
        if (count + 2 != buffer.size()) break;
        buffer.assign(buffer.size() * 2, '\0');  // cut short: a missing name could hide a title or the last area
    }
    // An empty name inside the list would end it early and hide the sections after it.
    names.clear();
    for (const char* name = buffer.data(); name < buffer.data() + count; name += std::strlen(name) + 1) {
        if (*name != '\0') names.append(name).push_back('\0');
    }
    const std::size_t listed = names.size();
    names.push_back('\0');
    return listed;
}

bool Profile::writeSection(const char* section, const char* keyValues) {
    // The system rewrites the library in place and, under Wine, a full disk leaves it cut
    // short while the call still reports success. So a copy of the old library is made first
    // (no room for it: no room for the new one either, and nothing is touched), the result is
    // checked on disk, and the copy goes back over a library that did not come out whole.
    const std::string& path = state_->path;
    const std::string backup = path + ".bfq-backup";
    std::string original;
    if (!readFileBytes(path, original)) return false;
    if (!CopyFileA(path.c_str(), backup.c_str(), TRUE)) {
        // A copy already there is what an earlier write left when it could not put it back, or when
        // the machine stopped mid-write: it may be the only whole library, so it is never replaced.
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) DeleteFileA(backup.c_str());
        return false;
    }
    const IniDocument before(original);
    if (WritePrivateProfileSectionA(section, keyValues, path.c_str()) != 0 &&
        isWrittenWhole(before, path, section, keyValues)) {
        DeleteFileA(backup.c_str());
        return true;
    }
    std::string now;
    const bool untouched = readFileBytes(path, now) && now == original;
    // A copy that cannot be put back stays beside the library, for the user.
    if (untouched || CopyFileA(backup.c_str(), path.c_str(), FALSE)) DeleteFileA(backup.c_str());
    return false;
}

bool findCommonAppDataFolder(char* buffer, std::size_t size) {
    char folder[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != 0) return false;
    const std::size_t length = std::strlen(folder);
    if (size == 0 || length >= size) return false;
    std::memcpy(buffer, folder, length + 1);
    return true;
}

}  // namespace bfq::platform
