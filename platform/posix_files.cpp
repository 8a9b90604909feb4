#include "posix_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "ini_document.h"

namespace bfq::platform {

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { if (fd_ >= 0) ::close(fd_); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int release() { const int fd = fd_; fd_ = -1; return fd; }
    bool closeChecked() { const int fd = release(); return fd < 0 || ::close(fd) == 0; }
private:
    int fd_;
};

FileStamp stampOf(const struct stat& st) {
    FileStamp s;
    s.present = true;
    s.device = static_cast<unsigned long long>(st.st_dev);
    s.inode = static_cast<unsigned long long>(st.st_ino);
    s.size = static_cast<unsigned long long>(st.st_size);
    s.modifiedSeconds = static_cast<long long>(st.st_mtim.tv_sec);
    s.modifiedNanoseconds = static_cast<long long>(st.st_mtim.tv_nsec);
    return s;
}

// The best case-insensitive match for part in folder: the smallest by bytes, so
// that the choice does not depend on the order the folder lists its entries in.
bool findFolded(const std::string& folder, const std::string& part, std::string& match) {
    DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
    if (dir == nullptr) return false;
    match.clear();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (equalsFolded(name, part) && (match.empty() || name < match)) match = name;
    }
    ::closedir(dir);
    return !match.empty();
}

// Follows symbolic links, so that the real file is replaced and the link stays.
std::string realTarget(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string target = real;
    std::free(real);
    return target;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A full disk or a file-size limit must end in a failed write, not in a killed process.
class IgnoreFileSizeSignal {
public:
    IgnoreFileSizeSignal() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, &previous_);
    }
    ~IgnoreFileSizeSignal() { ::sigaction(SIGXFSZ, &previous_, nullptr); }
    IgnoreFileSizeSignal(const IgnoreFileSizeSignal&) = delete;
    IgnoreFileSizeSignal& operator=(const IgnoreFileSizeSignal&) = delete;
private:
    struct sigaction previous_ {};
};

bool writeTemporary(int fd, const std::string& bytes, const struct stat* original) {
    mode_t mode = 0;
    if (original != nullptr) {
        // A run under sudo must not leave a library the simulator can no longer write.
        if (original->st_uid != ::geteuid() || original->st_gid != ::getegid()) {
            (void)::fchown(fd, original->st_uid, original->st_gid);
        }
        mode = original->st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    return writeAll(fd, bytes) && ::fsync(fd) == 0 && ::fchmod(fd, mode) == 0;
}

}  // namespace

std::string resolvePath(const std::string& name) {
    std::string unified = name;
    for (char& c : unified) {
        if (c == '\\') c = '/';
    }
    const bool absolute = !unified.empty() && unified.front() == '/';
    std::string path = absolute ? "" : ".";
    bool missing = false;  // below a missing part nothing can be matched
    std::size_t pos = 0;
    while (pos <= unified.size()) {
        std::size_t end = unified.find('/', pos);
        if (end == std::string::npos) end = unified.size();
        const std::string part = unified.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".") continue;
        std::string candidate = path + "/" + part;
        struct stat st {};
        if (!missing && part != ".." && ::lstat(candidate.c_str(), &st) != 0) {
            std::string match;
            if (findFolded(path, part, match)) {
                candidate = path + "/" + match;
            } else {
                missing = true;
            }
        }
        path = std::move(candidate);
    }
    return path.empty() ? "/" : path;
}

ReadStatus readWholeFile(const std::string& path, std::string& bytes, FileStamp& stamp) {
    bytes.clear();
    stamp = FileStamp{};
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return (errno == ENOENT || errno == ENOTDIR) ? ReadStatus::Absent : ReadStatus::Failed;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadStatus::Failed;
    // Straight into the string, with one byte more than the file holds, so the read that
    // finds the end needs no room of its own: no bounce buffer to fault in and copy from.
    bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) bytes.resize(bytes.size() * 2);  // it grew while we read
        const ssize_t n = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            bytes.clear();
            return ReadStatus::Failed;
        }
        if (n == 0) break;
        filled += static_cast<std::size_t>(n);
    }
    bytes.resize(filled);
    stamp = stampOf(st);
    return ReadStatus::Ok;
}

bool replaceFileAtomically(const std::string& path, const std::string& bytes, const FileStamp& expected) {
    struct stat link {};
    const bool linkExists = ::lstat(path.c_str(), &link) == 0;
    const std::string target = realTarget(path);
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (linkExists && !exists) return false;  // a dangling link: we would replace the link with a file
    if (exists != expected.present) return false;
    if (exists) {
        if (!S_ISREG(st.st_mode) || !(stampOf(st) == expected)) return false;  // changed since it was read
        // The rename would succeed in a writable folder; the file's own rights decide, as on Windows.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return false;
    }
    const std::string folder = folderOf(target);
    const std::size_t slash = target.rfind('/');
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temporary = folder + "/." + base + ".new-XXXXXX";

    IgnoreFileSizeSignal quiet;
    FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0) return false;
    const bool written = writeTemporary(fd.get(), bytes, exists ? &st : nullptr);
    if (!fd.closeChecked() || !written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself must survive a power cut.
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) (void)::fsync(dir.get());
    return true;
}

int lockFolderOf(const std::string& path, int waitSeconds) {
    FileDescriptor fd(::open(folderOf(realTarget(path)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds);
    for (;;) {
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) return fd.release();
        if (errno != EWOULDBLOCK && errno != EINTR) return -1;
        if (std::chrono::steady_clock::now() >= deadline) return -2;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void closeFolderLock(int handle) {
    if (handle >= 0) ::close(handle);
}

bool wineProgramData(std::string& folder) {
    std::string prefix;
    if (const char* wine = std::getenv("WINEPREFIX"); wine != nullptr && *wine != '\0') {
        prefix = wine;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || *home == '\0') {
            const passwd* user = ::getpwuid(::getuid());
            home = user != nullptr ? user->pw_dir : nullptr;
        }
        if (home == nullptr || *home == '\0') return false;
        prefix = std::string(home) + "/.wine";
    }
    if (prefix.front() != '/') {
        char* cwd = ::getcwd(nullptr, 0);
        if (cwd == nullptr) return false;
        prefix = std::string(cwd) + "/" + prefix;
        std::free(cwd);
    }
    while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
    folder = resolvePath(prefix + "/drive_c/ProgramData");
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace bfq::platform
