#include "scratch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace bfq::test {

ScratchDir::ScratchDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/bfq-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    ::chmod(path_.c_str(), 0755);  // runs as another user must be able to reach their files
}

ScratchDir::~ScratchDir() { removeTree(path_); }

void removeTree(const std::string& path) {
    std::error_code ignored;
    // Folders a test made read-only must become writable again to be removed.
    for (auto it = fs::recursive_directory_iterator(path, ignored); it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(path, ignored);
}

void makeFolders(const std::string& path) { fs::create_directories(path); }

void writeFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::map<std::string, std::string> snapshotTree(const std::string& root) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator(); ++it) {
        // lexically: fs::relative would follow a link and file it under its target's name
        const std::string relative = it->path().lexically_relative(root).string();
        if (it->is_symlink()) {
            files[relative] = "-> " + fs::read_symlink(it->path()).string();
        } else if (it->is_regular_file()) {
            files[relative] = readFile(it->path().string()).value_or("<unreadable>");
        } else if (it->is_directory()) {
            files[relative + "/"] = "";
        }
    }
    return files;
}

}  // namespace bfq::test
