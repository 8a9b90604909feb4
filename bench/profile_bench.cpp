// The profile layer on its own: how fast it parses a library (bytes per second)
// and what one lookup costs once it is parsed (time per iteration = one lookup).
// The argument of each benchmark is the number of areas in the library.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "ini_document.h"
#include "library_generator.h"
#include "library_reader.h"
#include "profile.h"

namespace {

namespace fs = std::filesystem;
using bfq::bench::generateLibrary;

// One file per library size, written once and removed at exit.
class LibraryFiles {
public:
    ~LibraryFiles() {
        if (!folder_.empty()) fs::remove_all(folder_);
    }
    const std::string& path(int areas) {
        if (folder_.empty()) {
            std::string pattern = (fs::temp_directory_path() / "brackenfelloquist-profile-bench.XXXXXX").string();
            if (::mkdtemp(pattern.data()) == nullptr) std::abort();
            folder_ = pattern;
        }
        auto& path = paths_[areas];
        if (path.empty()) {
            path = (fs::path(folder_) / ("Scenery-" + std::to_string(areas) + ".cfg")).string();
            std::ofstream(path, std::ios::binary) << generateLibrary(areas);
        }
        return path;
    }

private:
    std::string folder_;
    std::map<int, std::string> paths_;
};

LibraryFiles& files() {
    static LibraryFiles instance;
    return instance;
}

int areasOf(const benchmark::State& state) { return static_cast<int>(state.range(0)); }

// Every section name of a library, so lookups walk it as the tool does.
std::vector<std::string> sectionNamesOf(bfq::platform::Profile& profile) {
    std::string list;
    profile.listSectionNames(list);
    std::vector<std::string> names;
    for (const char* p = list.c_str(); *p != '\0'; p += std::strlen(p) + 1) names.emplace_back(p);
    return names;
}

void BM_ParseDocument(benchmark::State& state) {
    const std::string bytes = generateLibrary(areasOf(state));
    for (auto _ : state) {
        state.PauseTiming();
        std::string copy = bytes;
        state.ResumeTiming();
        bfq::platform::IniDocument document(std::move(copy));
        benchmark::DoNotOptimize(document.bytes().data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

// Open, read and parse the file, list its sections: what a run does before its first lookup.
void BM_OpenAndList(benchmark::State& state) {
    const std::string& path = files().path(areasOf(state));
    std::string names;
    for (auto _ : state) {
        bfq::platform::Profile profile(path.c_str());
        benchmark::DoNotOptimize(profile.listSectionNames(names));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(path)));
}

void BM_ReadString(benchmark::State& state) {
    bfq::platform::Profile profile(files().path(areasOf(state)).c_str());
    const std::vector<std::string> names = sectionNamesOf(profile);
    char value[512];
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(profile.readString(names[i].c_str(), "Local", value, sizeof value));
        if (++i == names.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ReadInt(benchmark::State& state) {
    bfq::platform::Profile profile(files().path(areasOf(state)).c_str());
    const std::vector<std::string> names = sectionNamesOf(profile);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(profile.readInt(names[i].c_str(), "Layer", 0));
        if (++i == names.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

// The library reader over a parsed profile: three lookups and one entry per section.
void BM_LoadLibrary(benchmark::State& state) {
    bfq::platform::Profile profile(files().path(areasOf(state)).c_str());
    std::string names;
    profile.listSectionNames(names);
    char title[bfq::kValueSize], path[bfq::kValueSize];
    for (auto _ : state) {
        std::vector<bfq::SceneryEntry> entries;
        std::vector<std::int32_t> layers;
        if (bfq::loadLibrary(profile, names, entries, layers, title, path) != bfq::Outcome::Continue) std::abort();
        benchmark::DoNotOptimize(entries.data());
    }
    state.SetItemsProcessed(state.iterations() * (areasOf(state) + 1));
}

// The new file bytes for one added section: the whole library copied once.
void BM_WithSection(benchmark::State& state) {
    const bfq::platform::IniDocument document(generateLibrary(areasOf(state)));
    const std::vector<std::string_view> lines = {"Title=Brackenfell Valley Airfield",
                                                 "Local=Addon Scenery\\Brackenfell Valley", "Layer=1000",
                                                 "Active=TRUE", "Required=FALSE"};
    for (auto _ : state) {
        std::string out = document.withSection("Area.1000", lines);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(document.bytes().size()));
}

void libraries(benchmark::internal::Benchmark* b) { b->Arg(100)->Arg(999)->Arg(9'999)->Arg(49'999); }

BENCHMARK(BM_ParseDocument)->Apply(libraries)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenAndList)->Apply(libraries)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadString)->Apply(libraries);
BENCHMARK(BM_ReadInt)->Apply(libraries);
BENCHMARK(BM_LoadLibrary)->Apply(libraries)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WithSection)->Apply(libraries)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
