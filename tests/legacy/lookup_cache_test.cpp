// The key-0 lookup cache: what it answers after keeping, dropping and clearing keys, and
// how a slot taken over by another key forgets the first.
#include "legacy/internal/lookup_cache.h"

#include <gtest/gtest.h>

#include <string>

namespace talvor::store {
namespace {

using Answer = LookupCache::Answer;

std::string Record(char fill) { return std::string(8, fill); }

TEST(LookupCacheTest, AKeptRecordAndAKeptAbsenceAreAnsweredAsKept) {
  LookupCache cache(4, 8, 64, 1 << 20);
  const char* record = nullptr;
  EXPECT_EQ(cache.Find("AAAA", &record), Answer::kUnknown);
  const std::string a = Record('a');
  cache.Keep("AAAA", a.data());
  cache.Keep("BBBB", nullptr);
  ASSERT_EQ(cache.Find("AAAA", &record), Answer::kRecord);
  EXPECT_EQ(std::string(record, 8), a);
  EXPECT_EQ(cache.Find("BBBB", &record), Answer::kNoRecord);
  EXPECT_EQ(cache.Find("CCCC", &record), Answer::kUnknown);
  // A record kept again replaces the bytes; an absence kept over a record replaces it.
  const std::string b = Record('b');
  cache.Keep("AAAA", b.data());
  ASSERT_EQ(cache.Find("AAAA", &record), Answer::kRecord);
  EXPECT_EQ(std::string(record, 8), b);
  cache.Keep("AAAA", nullptr);
  EXPECT_EQ(cache.Find("AAAA", &record), Answer::kNoRecord);
}

TEST(LookupCacheTest, DropForgetsOneKeyAndClearForgetsThemAll) {
  LookupCache cache(4, 8, 1024, 1 << 20);
  const std::string a = Record('a');
  const char* record = nullptr;
  for (const char* key : {"K001", "K002", "K003"}) cache.Keep(key, a.data());
  cache.Keep("NONE", nullptr);
  cache.Drop("K002");
  cache.Drop("XXXX");  // never kept: harmless
  EXPECT_EQ(cache.Find("K001", &record), Answer::kRecord);
  EXPECT_EQ(cache.Find("K002", &record), Answer::kUnknown);
  EXPECT_EQ(cache.Find("K003", &record), Answer::kRecord);
  cache.Clear();
  for (const char* key : {"K001", "K003", "NONE"}) {
    EXPECT_EQ(cache.Find(key, &record), Answer::kUnknown) << key;
  }
}

TEST(LookupCacheTest, AKeyThatTakesASlotOverLeavesTheFirstUnknownAndUntouchedByDrop) {
  LookupCache cache(4, 8, 1, 1 << 20);  // one slot: every key shares it
  ASSERT_EQ(cache.slots(), 1u);
  const std::string a = Record('a');
  const std::string b = Record('b');
  const char* record = nullptr;
  cache.Keep("AAAA", a.data());
  cache.Keep("BBBB", b.data());
  EXPECT_EQ(cache.Find("AAAA", &record), Answer::kUnknown);
  // Dropping the key that lost the slot must not drop the one that holds it.
  cache.Drop("AAAA");
  ASSERT_EQ(cache.Find("BBBB", &record), Answer::kRecord);
  EXPECT_EQ(std::string(record, 8), b);
}

TEST(LookupCacheTest, SlotsAreAPowerOfTwoWithinTheMemoryBound) {
  EXPECT_EQ(LookupCache(16, 128, 1 << 16, 1 << 20).slots(), 4096u);  // 1 MiB / 144 bytes
  EXPECT_EQ(LookupCache(16, 128, 1000, 1 << 30).slots(), 512u);
  EXPECT_EQ(LookupCache(16, 4000, 1 << 16, 100).slots(), 1u);
}

TEST(LookupCacheTest, AKeyOfAnotherLengthIsNeitherKeptNorFound) {
  LookupCache cache(4, 8, 64, 1 << 20);
  const std::string a = Record('a');
  const char* record = nullptr;
  cache.Keep("AAAAA", a.data());
  cache.Keep("AAAA", a.data());
  EXPECT_EQ(cache.Find("AAA", &record), Answer::kUnknown);
  EXPECT_EQ(cache.Find("AAAAA", &record), Answer::kUnknown);
  EXPECT_EQ(cache.Find("AAAA", &record), Answer::kRecord);
}

}  // namespace
}  // namespace talvor::store
