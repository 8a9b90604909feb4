// Every outcome that ends a run has exactly one line in the table.
#include <gtest/gtest.h>

#include <set>

#include "result_codes.h"

namespace {

TEST(ResultTable, EveryEndingOutcomeHasOneEntry) {
    std::set<int> seen;
    for (const bfq::ResultEntry& entry : bfq::kResults) {
        EXPECT_TRUE(seen.insert(static_cast<int>(entry.outcome)).second) << "twice: " << entry.text;
        EXPECT_EQ(&bfq::resultOf(entry.outcome), &entry);
    }
    for (int o = static_cast<int>(bfq::Outcome::Activated); o <= static_cast<int>(bfq::Outcome::NoAreaNumberLeft);
         ++o) {
        EXPECT_TRUE(seen.count(o)) << "outcome " << o << " has no entry";
    }
    EXPECT_FALSE(seen.count(static_cast<int>(bfq::Outcome::Continue)));
}

TEST(ResultTable, OnlyTheKnownCodes) {
    const std::set<bfq::RunResult> allowed = {1, 2, -1, -2, -3, -4, -5, -6, -7, -9, -14, -15, -16};
    for (const bfq::ResultEntry& entry : bfq::kResults) EXPECT_TRUE(allowed.count(entry.code)) << entry.code;
}

}  // namespace
