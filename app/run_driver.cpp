#include "run_driver.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "activation_checks.h"

namespace bfq {

namespace {

void printBanner() {
    std::fputs("******************************************************\n", stdout);
    std::fputs("*              Brackenfelloquist v. 1.6              *\n", stdout);
    std::fputs("******************************************************\n\n", stdout);
}

void printResult(const ResultEntry& result, const char* title) {
    if (result.namesTitle) {
        std::printf(result.text, title);
    } else {
        std::fputs(result.text, stdout);
    }
}

}  // namespace

Outcome readActivationRequest(platform::Profile& config, char (&title)[kValueSize], char (&path)[kValueSize]) {
    std::memset(title, 0, sizeof title);
    if (config.readString("Config", "Title", title, sizeof title) == 0) return Outcome::RequestTitleMissing;
    std::memset(path, 0, sizeof path);
    if (config.readString("Config", "Path", path, sizeof path) == 0) return Outcome::RequestPathMissing;
    return Outcome::Continue;
}

Outcome runActivation(RunState& s) {
    s.config = std::make_unique<platform::Profile>(kConfigFile);
    if (s.config->readString("Config", "Target", s.targetText, sizeof s.targetText) == 0) {
        return Outcome::TargetMissing;
    }
    s.target = selectTarget(s.targetText);
    if (s.target == TargetSimulator::Invalid) return Outcome::InvalidTarget;

    Outcome o = resolveLibraryPath(s.target, s.relativePath, s.libraryPath);
    if (o == Outcome::Continue) o = openLibrary(s.target, s.relativePath, s.libraryPath, s.library, s.sectionNames);
    if (o == Outcome::Continue) o = loadLibrary(*s.library, s.sectionNames, s.entries, s.layers, s.title, s.path);
    if (o == Outcome::Continue) o = readActivationRequest(*s.config, s.title, s.path);
    if (o == Outcome::Continue) o = checkLayerConsistency(s.layers, s.entries.size(), s.target, s.highestLayer);
    if (o == Outcome::Continue) o = findTitle(s.entries, s.title);
    if (o == Outcome::Continue) o = nextAreaName(s.entries, s.newSectionName);
    if (o == Outcome::Continue) o = composeAreaSection(s.title, s.path, s.highestLayer, s.sectionText);
    if (o == Outcome::Continue) o = writeArea(*s.library, s.newSectionName, s.sectionText);
    return o;
}

RunResult runTool() {
    printBanner();
    Outcome outcome = Outcome::OutOfMemory;
    auto state = std::make_unique<RunState>();
    try {
        outcome = runActivation(*state);
    } catch (const std::bad_alloc&) {
        // The lists grow with the library; running out of memory there is the one
        // failure the standard library reports by throwing.
        outcome = Outcome::OutOfMemory;
    }
    printResult(resultOf(outcome), state->title);
    std::fflush(stdout);
    return resultOf(outcome).code;
}

}  // namespace bfq
