// TableAliasRegistry: the alias rule (base name, then a counter in the last
// characters), work-area numbers, giving both back, and claims from several
// threads at once.
#include "xbase/table_alias_registry.h"

#include <gtest/gtest.h>
#include <set>
#include <thread>
#include <vector>

namespace velmora::xbase {
namespace {

TEST(TableAliasRegistry, BaseAliasFollowsTheFileName) {
  struct Case {
    const char* fileName;
    const char* alias;
  };
  const Case cases[] = {
      {"LOCKSPL.DBF", "LOCKSPL"},
      {"lockspl.dbf", "LOCKSPL"},
      {"my-table.dbf", "MY_TABLE"},
      {"ABCDEFGHIJ.DBF", "ABCDEFGH"},
      {"A.B.C", "A"},
      {"NOEXT", "NOEXT"},
      {"r\xC3\xA9sum\xC3\xA9.dbf", "R_SUM_"}, // one character per code point
  };
  for (const Case& test : cases) {
    EXPECT_EQ(TableAliasRegistry::baseAlias(test.fileName), test.alias) << test.fileName;
  }
}

TEST(TableAliasRegistry, ClaimsCountUpAndGiveBackTheirNames) {
  TableAliasRegistry registry;
  AliasClaim first = registry.claim("LOCKSPL.DBF");
  AliasClaim second = registry.claim("lockspl.dbf");
  EXPECT_EQ(first.alias(), "LOCKSPL");
  EXPECT_EQ(first.workArea(), 1);
  EXPECT_EQ(second.alias(), "LOCKSPL1");
  EXPECT_EQ(second.workArea(), 2);
  EXPECT_TRUE(registry.inUse("lockspl1"));

  first.release();
  EXPECT_EQ(first.workArea(), 0);
  EXPECT_FALSE(registry.inUse("LOCKSPL"));
  AliasClaim third = registry.claim("LOCKSPL.DBF");
  EXPECT_EQ(third.alias(), "LOCKSPL"); // the freed name and number are taken again
  EXPECT_EQ(third.workArea(), 1);

  // A counter of more digits takes more of the base.
  std::vector<AliasClaim> many;
  for (int i = 0; i < 11; ++i) {
    many.push_back(registry.claim("ABCDEFGH.DBF"));
  }
  EXPECT_EQ(many[0].alias(), "ABCDEFGH");
  EXPECT_EQ(many[9].alias(), "ABCDEFG9");
  EXPECT_EQ(many[10].alias(), "ABCDEF10");

  AliasClaim moved = std::move(second);
  EXPECT_EQ(second.workArea(), 0);
  EXPECT_EQ(moved.alias(), "LOCKSPL1");
  { AliasClaim gone = std::move(moved); }
  EXPECT_FALSE(registry.inUse("LOCKSPL1"));
}

TEST(TableAliasRegistry, ClaimsFromSeveralThreadsNeverShareAName) {
  TableAliasRegistry registry;
  constexpr int kThreads = 4;
  constexpr int kClaimsEach = 5; // 20 claims: counters up to two digits
  std::vector<std::vector<AliasClaim>> claims(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kClaimsEach; ++i) {
        claims[t].push_back(registry.claim("LOCKSPL.DBF"));
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  std::set<std::string> aliases;
  std::set<int> workAreas;
  for (const auto& list : claims) {
    for (const AliasClaim& claim : list) {
      aliases.insert(claim.alias());
      workAreas.insert(claim.workArea());
    }
  }
  EXPECT_EQ(aliases.size(), static_cast<std::size_t>(kThreads * kClaimsEach));
  EXPECT_EQ(workAreas.size(), static_cast<std::size_t>(kThreads * kClaimsEach));
  EXPECT_EQ(*workAreas.begin(), 1);
  EXPECT_EQ(*workAreas.rbegin(), kThreads * kClaimsEach);
}

} // namespace
} // namespace velmora::xbase
