#include "result_codes.h"

namespace bfq {

const ResultEntry& resultOf(Outcome outcome) {
    for (const ResultEntry& entry : kResults) {
        if (entry.outcome == outcome) return entry;
    }
    // Continue never ends a run; a table without an outcome is a build mistake the tests catch.
    return kResults[static_cast<std::size_t>(kResults.size() - 1)];
}

}  // namespace bfq
