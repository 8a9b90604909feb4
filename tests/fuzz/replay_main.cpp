// Where libFuzzer is missing (g++, MinGW), this main runs a fuzz target once over every
// input file named, or found in the folders named: the checked-in corpus and the kept
// crash inputs become a regular test.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path given = argv[i];
        if (!fs::is_directory(given)) {
            inputs.push_back(given);
            continue;
        }
        for (const fs::directory_entry& entry : fs::directory_iterator(given)) {
            // Dot files keep an empty folder in the repository; they are no input.
            if (entry.is_regular_file() && entry.path().filename().string().front() != '.') {
                inputs.push_back(entry.path());
            }
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", input.c_str());
            return 1;
        }
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::printf("%s\n", input.c_str());
        std::fflush(stdout);  // the last name printed is the input that broke a promise
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
