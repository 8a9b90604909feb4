#include "pe_image.h"

#include <stdexcept>

namespace bfq::test {

namespace {

// Offsets as Microsoft documents the PE/COFF format, for PE32+ (64-bit) images.
constexpr std::uint32_t kDosNewHeaderOffset = 0x3C;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::uint32_t kImportDirectory = 1;
constexpr std::uint32_t kResourceDirectory = 2;

class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}

    std::uint32_t u8(std::size_t at) const { return static_cast<unsigned char>(bytes_.at(at)); }
    std::uint16_t u16(std::size_t at) const { return static_cast<std::uint16_t>(u8(at) | u8(at + 1) << 8); }
    std::uint32_t u32(std::size_t at) const { return u16(at) | static_cast<std::uint32_t>(u16(at + 2)) << 16; }
    std::uint64_t u64(std::size_t at) const { return u32(at) | static_cast<std::uint64_t>(u32(at + 4)) << 32; }

    std::string cString(std::size_t at) const {
        const std::size_t end = bytes_.find('\0', at);
        if (end == std::string::npos) throw std::runtime_error("unterminated name");
        return bytes_.substr(at, end - at);
    }
    std::string slice(std::size_t at, std::size_t size) const {
        if (at > bytes_.size() || size > bytes_.size() - at) throw std::runtime_error("data past the end");
        return bytes_.substr(at, size);
    }

private:
    const std::string& bytes_;
};

struct Section {
    std::uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

class Image {
public:
    explicit Image(const std::string& bytes) : r(bytes) {
        const std::uint32_t pe = r.u32(kDosNewHeaderOffset);
        if (r.u32(pe) != 0x00004550) throw std::runtime_error("no PE signature");  // "PE\0\0"
        machine = r.u16(pe + 4);
        const std::uint16_t sectionCount = r.u16(pe + 6);
        const std::uint16_t optionalSize = r.u16(pe + 20);
        optional = pe + 24;
        if (r.u16(optional) != kPe32PlusMagic) throw std::runtime_error("not a 64-bit image");
        for (std::uint32_t i = 0; i < sectionCount; ++i) {
            const std::size_t at = optional + optionalSize + i * 40u;
            sections.push_back({r.u32(at + 12), r.u32(at + 8), r.u32(at + 20), r.u32(at + 16)});
        }
    }

    std::uint16_t subsystem() const { return r.u16(optional + 68); }

    // Start and size of a data directory, 0 when the image has none.
    std::pair<std::uint32_t, std::uint32_t> directory(std::uint32_t index) const {
        if (index >= r.u32(optional + 108)) return {0, 0};
        return {r.u32(optional + 112 + index * 8), r.u32(optional + 116 + index * 8)};
    }

    std::size_t offsetOf(std::uint64_t rva) const {
        for (const Section& s : sections) {
            const std::uint32_t size = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
            if (rva >= s.virtualAddress && rva < s.virtualAddress + size) return rva - s.virtualAddress + s.rawOffset;
        }
        throw std::runtime_error("address outside every section");
    }

    Reader r;
    std::uint16_t machine = 0;
    std::size_t optional = 0;
    std::vector<Section> sections;
};

std::map<std::string, std::vector<std::string>> importsOf(const Image& image) {
    std::map<std::string, std::vector<std::string>> imports;
    const std::uint32_t table = image.directory(kImportDirectory).first;
    if (table == 0) return imports;
    for (std::size_t d = image.offsetOf(table);; d += 20) {
        const std::uint32_t name = image.r.u32(d + 12);
        if (name == 0) break;
        std::vector<std::string>& functions = imports[image.r.cString(image.offsetOf(name))];
        const std::uint32_t lookup = image.r.u32(d) != 0 ? image.r.u32(d) : image.r.u32(d + 16);
        for (std::size_t t = image.offsetOf(lookup);; t += 8) {
            const std::uint64_t entry = image.r.u64(t);
            if (entry == 0) break;
            if ((entry >> 63) == 0) functions.push_back(image.r.cString(image.offsetOf(entry) + 2));  // after the hint
        }
    }
    return imports;
}

// The three levels of the resource tree are type, id and language; names (not ids) are left out.
std::map<std::pair<std::uint32_t, std::uint32_t>, std::string> resourcesOf(const Image& image) {
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::string> resources;
    const std::uint32_t rootRva = image.directory(kResourceDirectory).first;
    if (rootRva == 0) return resources;
    const std::size_t root = image.offsetOf(rootRva);
    const auto entries = [&](std::size_t directory) {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> list;  // id, offset of what it leads to
        const std::uint32_t count = image.r.u16(directory + 12) + image.r.u16(directory + 14);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t at = directory + 16 + i * 8;
            list.emplace_back(image.r.u32(at), image.r.u32(at + 4));
        }
        return list;
    };
    constexpr std::uint32_t kHigh = 0x80000000;
    for (const auto& [type, types] : entries(root)) {
        if ((type & kHigh) != 0 || (types & kHigh) == 0) continue;
        for (const auto& [id, ids] : entries(root + (types & ~kHigh))) {
            if ((id & kHigh) != 0 || (ids & kHigh) == 0) continue;
            const auto languages = entries(root + (ids & ~kHigh));
            if (languages.empty() || (languages.front().second & kHigh) != 0) continue;
            const std::size_t data = root + languages.front().second;
            resources[{type, id}] = image.r.slice(image.offsetOf(image.r.u32(data)), image.r.u32(data + 4));
        }
    }
    return resources;
}

}  // namespace

PeImage readPeImage(const std::string& bytes) {
    const Image image(bytes);
    PeImage pe;
    pe.machine = image.machine;
    pe.subsystem = image.subsystem();
    pe.imports = importsOf(image);
    pe.resources = resourcesOf(image);
    return pe;
}

}  // namespace bfq::test
