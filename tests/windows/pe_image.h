#pragma once

// Reads what Windows looks at in an executable before it runs it: the machine and
// subsystem, the DLLs and functions it imports, and its resources.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace bfq::test {

struct PeImage {
    std::uint16_t machine = 0;    // 0x8664 for x86-64
    std::uint16_t subsystem = 0;  // 3 for a console program
    std::map<std::string, std::vector<std::string>> imports;  // DLL name as written -> functions imported by name
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::string> resources;  // (type, id) -> bytes, first language
};

// Throws when bytes are not a well-formed 64-bit PE image.
PeImage readPeImage(const std::string& bytes);

}  // namespace bfq::test
