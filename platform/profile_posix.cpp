#include <cstring>
#include <string_view>
#include <vector>

#include "ini_document.h"
#include "posix_files.h"
#include "profile.h"

namespace bfq::platform {

struct Profile::State {
    std::string path;
    std::unique_ptr<IniDocument> document;
    ReadStatus readStatus = ReadStatus::Absent;
    FileStamp stamp;
    int lock = -1;

    // The file is read and parsed once, on first use (after the lock is taken).
    IniDocument& load() {
        if (!document) {
            std::string bytes;
            readStatus = readWholeFile(path, bytes, stamp);
            document = std::make_unique<IniDocument>(std::move(bytes));
        }
        return *document;
    }
};

Profile::Profile(const char* path) : state_(std::make_unique<State>()) { state_->path = resolvePath(path); }

Profile::~Profile() { closeFolderLock(state_->lock); }

LockStatus Profile::lockExclusive() {
    if (state_->lock >= 0) return LockStatus::Held;
    const int lock = lockFolderOf(state_->path, kLockWaitSeconds);
    if (lock == -2) return LockStatus::Busy;
    if (lock < 0) return LockStatus::Unavailable;
    state_->lock = lock;
    state_->document.reset();  // whatever was read before the lock may be stale
    return LockStatus::Held;
}

std::uint32_t Profile::readString(const char* section, const char* key, char* buffer, std::uint32_t size) {
    if (size == 0) return 0;
    const std::string_view* value = state_->load().find(section, key);
    const std::size_t count = value == nullptr ? 0 : std::min<std::size_t>(value->size(), size - 1);
    if (count > 0) std::memcpy(buffer, value->data(), count);
    buffer[count] = '\0';
    return static_cast<std::uint32_t>(count);
}

std::int32_t Profile::readInt(const char* section, const char* key, std::int32_t fallback) {
    const std::string_view* value = state_->load().find(section, key);
    if (value == nullptr || value->empty()) return fallback;
    return parseProfileInt(*value);
}

std::size_t Profile::listSectionNames(std::string& names) { return state_->load().sectionNames(names); }

bool Profile::writeSection(const char* section, const char* keyValues) {
    IniDocument& document = state_->load();
    if (state_->readStatus == ReadStatus::Failed) return false;  // never replace a file we could not read
    std::vector<std::string_view> lines;
    for (const char* p = keyValues; *p != '\0'; p += std::strlen(p) + 1) lines.emplace_back(p);
    if (!replaceFileAtomically(state_->path, document.withSection(section, lines), state_->stamp)) return false;
    state_->document.reset();
    return true;
}

bool findCommonAppDataFolder(char* buffer, std::size_t size) {
    std::string folder;
    if (size == 0 || !wineProgramData(folder) || folder.size() >= size) return false;
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return true;
}

}  // namespace bfq::platform
