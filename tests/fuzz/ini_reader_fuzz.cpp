// Any bytes as a library: reading never crashes, hangs or reads out of bounds, and the
// list of section names holds every listed name, none of them empty.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "ini_document.h"

using bfq::fuzz::require;
using bfq::platform::IniDocument;

namespace {

// Reading every byte lets AddressSanitizer see a value that points outside the file.
unsigned touch(const std::string_view* value) {
    unsigned sum = 0;
    if (value != nullptr) {
        for (char c : *value) sum += static_cast<unsigned char>(c);
    }
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const IniDocument document(std::string(reinterpret_cast<const char*>(data), size));
    std::string names;
    const std::size_t count = document.sectionNames(names);
    require(names.size() == count + 1 && names.back() == '\0', "the list is closed by one empty name");

    // The lookups a run makes, in the order it makes them.
    volatile unsigned sink = 0;
    std::size_t walked = 0;
    for (const char* name = names.c_str(); *name != '\0'; name += std::strlen(name) + 1) {
        walked += std::strlen(name) + 1;
        sink = sink + touch(document.find(name, "Title")) + touch(document.find(name, "Local"));
        if (const std::string_view* layer = document.find(name, "Layer")) {
            sink = sink + static_cast<unsigned>(bfq::platform::parseProfileInt(*layer));
        }
    }
    require(walked == count, "no empty name inside the list hides the names after it");
    return 0;
}
