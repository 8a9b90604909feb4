#pragma once

// Scratch folders for tests that touch files: made fresh, removed afterwards,
// never the real home folder.

#include <map>
#include <optional>
#include <string>

namespace bfq::test {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

// Writes bytes, creating the folders above the file.
void writeFile(const std::string& path, const std::string& bytes);
std::optional<std::string> readFile(const std::string& path);
void makeFolders(const std::string& path);
void removeTree(const std::string& path);

// Every file below root (symbolic links as "-> target"), by path relative to root.
std::map<std::string, std::string> snapshotTree(const std::string& root);

}  // namespace bfq::test
