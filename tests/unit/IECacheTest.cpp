#include "eraser/IECache.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "platform/Services.h"
#include "platform/sim/SimUrlCache.h"

namespace {

// Remembers the search pattern each entry enumeration was started with, so
// that "no pattern" and "the empty pattern" can be told apart.
class RecordingCache : public sim::SimUrlCache {
 public:
  std::vector<std::optional<std::string>> patterns;
  plat::UrlCacheFind FindFirstEntry(const char* pattern, uint32_t filter, int64_t groupId,
                                    plat::UrlCacheEntryInfo& entry) override {
    patterns.push_back(pattern ? std::optional<std::string>(pattern) : std::nullopt);
    return SimUrlCache::FindFirstEntry(pattern, filter, groupId, entry);
  }
};

class IECacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::Services s = plat::Installed();
    s.urlCache = &cache;
    old = plat::Install(s);
  }
  void TearDown() override { plat::Install(old); }

  std::vector<std::string> Addresses(TIECache& c, int64_t group) {
    std::vector<std::string> seen;
    c.OnEntry = [&](TIECache& sender, bool&) { seen.push_back(sender.CurrentEntry().sourceUrlName); };
    c.ListEntries(group);
    return seen;
  }

  RecordingCache cache;
  plat::Services old;
};

TEST(IECacheFilter, OptionsGiveTheirFlags) {
  struct Case {
    TFilterOptions options;
    uint32_t filter;
  } cases[] = {
      {0, 0},
      {TIECache::kDefaultFilterOptions, 0x1 | 0x4 | 0x100000 | 0x200000 | 0x10 | 0x20},
      {FilterSet({SPARSE_ENTRY, OCX_ENTRY}), 0x10000 | 0x20000},
      // The eraser's three kinds, by their numeric set values.
      {239, 0x1 | 0x2 | 0x4 | 0x100000 | 0x10 | 0x20 | 0x10000},
      {247, 0x1 | 0x2 | 0x4 | 0x200000 | 0x10 | 0x20 | 0x10000},
      {231, 0x1 | 0x2 | 0x4 | 0x10 | 0x20 | 0x10000},
  };
  TIECache c;
  for (const Case& k : cases) {
    c.SetFilterOptions(k.options);
    EXPECT_EQ(c.Filter(), k.filter) << k.options;
    EXPECT_EQ(c.FilterOptions(), k.options);
  }
  EXPECT_EQ(TIECache().FilterOptions(), 125u);
  EXPECT_EQ(FilterSet({NORMAL_ENTRY, STABLE_ENTRY, STICKY_ENTRY, COOKIE_ENTRY, TRACK_OFFLINE_ENTRY,
                       TRACK_ONLINE_ENTRY, SPARSE_ENTRY}),
            239u);
}

TEST_F(IECacheTest, PatternFilterAndGroupSelectEntries) {
  cache.AddEntry("Cookie:user@example.com/", plat::URLCACHE_COOKIE);
  cache.AddEntry("Visited: user@http://example.com/", plat::URLCACHE_URLHISTORY);
  cache.AddEntry("http://example.com/page.htm", plat::URLCACHE_NORMAL);
  cache.AddEntry("http://example.com/grouped.htm", plat::URLCACHE_NORMAL, 0x1234);
  cache.AddEntry("Cookie:user@grouped.com/", plat::URLCACHE_COOKIE, 0x1234);

  TIECache c;
  c.SearchPattern = spCookies;
  c.SetFilterOptions(239);
  EXPECT_EQ(Addresses(c, 0), std::vector<std::string>{"Cookie:user@example.com/"});
  EXPECT_EQ(Addresses(c, 0x1234), std::vector<std::string>{"Cookie:user@grouped.com/"});

  c.SearchPattern = spHistory;
  c.SetFilterOptions(247);
  EXPECT_EQ(Addresses(c, 0), std::vector<std::string>{"Visited: user@http://example.com/"});

  c.SearchPattern = spUrl;
  c.SetFilterOptions(231);  // no cookie or history flag: the cached pages only
  EXPECT_EQ(Addresses(c, 0), std::vector<std::string>{"http://example.com/page.htm"});

  c.SearchPattern = spAll;
  c.SetFilterOptions(TIECache::kDefaultFilterOptions);
  EXPECT_EQ(Addresses(c, 0).size(), 3u);
  c.SetFilterOptions(0);
  EXPECT_TRUE(Addresses(c, 0).empty());

  // spAll passes no pattern at all, spUrl an empty one.
  ASSERT_EQ(cache.patterns.size(), 6u);
  EXPECT_EQ(cache.patterns[0], std::optional<std::string>("Cookie:"));
  EXPECT_EQ(cache.patterns[2], std::optional<std::string>("Visited:"));
  EXPECT_EQ(cache.patterns[3], std::optional<std::string>(""));
  EXPECT_EQ(cache.patterns[4], std::nullopt);
  EXPECT_EQ(cache.OpenFinds(), 0u);
}

TEST_F(IECacheTest, DeletingEveryEntryReportedDeletesThemAll) {
  for (int i = 0; i < 20; ++i) cache.AddEntry("http://x/" + std::to_string(i), plat::URLCACHE_NORMAL);
  cache.AddEntry("http://y/in-group", plat::URLCACHE_NORMAL, 7);
  TIECache c;
  c.SearchPattern = spUrl;
  int calls = 0;
  c.OnEntry = [&](TIECache& sender, bool&) {
    ++calls;
    EXPECT_EQ(sender.DeleteEntry(sender.CurrentEntry().sourceUrlName), 0u);
    EXPECT_TRUE(sender.CurrentEntry().sourceUrlName.empty());  // cleared after a deletion
  };
  c.ListEntries(0);
  EXPECT_EQ(calls, 20);
  EXPECT_EQ(cache.EntryCount(), 1u);
  EXPECT_TRUE(cache.HasEntry("http://y/in-group"));
  EXPECT_EQ(cache.OpenFinds(), 0u);
}

TEST_F(IECacheTest, CancelEndsAnEnumeration) {
  for (int i = 0; i < 5; ++i) cache.AddEntry("http://x/" + std::to_string(i), plat::URLCACHE_NORMAL);
  for (int g = 1; g <= 3; ++g) cache.AddGroup(g);
  TIECache c;
  int entries = 0, groups = 0;
  c.OnEntry = [&](TIECache&, bool& cancel) { cancel = ++entries == 2; };
  c.OnGroup = [&](TIECache&, int64_t, bool& cancel) { cancel = true, ++groups; };
  c.ListEntries(0);
  EXPECT_EQ(c.ListGroups(), 0u);
  EXPECT_EQ(entries, 2);
  EXPECT_EQ(groups, 1);  // cancelled in the very first call
  EXPECT_EQ(cache.OpenFinds(), 0u);
}

TEST_F(IECacheTest, GroupsAndTheirAttributes) {
  TIECache c;
  std::vector<std::pair<int64_t, std::string>> seen;
  c.OnGroup = [&](TIECache& sender, int64_t id, bool&) { seen.push_back({id, sender.CurrentGroup().groupName}); };

  // No group at all: the platform's error code and no call.
  uint32_t none = c.ListGroups();
  EXPECT_NE(none, 0u);
  EXPECT_TRUE(seen.empty());

  cache.AddGroup(0x10, {"first", 5, 100});
  cache.AddGroup(0x20, {"second", 6, 200});
  cache.AddGroup(0x30, {"third", 7, 300});
  cache.FailGroupAttributes(0x20);  // read fails: the previous attributes stay
  EXPECT_EQ(c.ListGroups(), 0u);
  std::vector<std::pair<int64_t, std::string>> want = {{0x10, "first"}, {0x20, "first"}, {0x30, "third"}};
  EXPECT_EQ(seen, want);
  EXPECT_EQ(c.CurrentGroup().diskQuota, 300u);
  EXPECT_EQ(cache.OpenFinds(), 0u);
}

TEST_F(IECacheTest, DeleteFailuresAreReturnedAsCodes) {
  cache.AddEntry("http://held/", plat::URLCACHE_NORMAL);
  cache.LockEntry("http://held/");
  TIECache c;
  EXPECT_EQ(c.DeleteEntry("http://held/"), plat::URLCACHE_ERR_SHARING_VIOLATION);
  EXPECT_EQ(c.DeleteEntry("http://never-there/"), plat::URLCACHE_ERR_FILE_NOT_FOUND);
  EXPECT_TRUE(cache.HasEntry("http://held/"));
}

TEST_F(IECacheTest, WithoutTheLibraryNothingHappens) {
  cache.AddEntry("http://x/", plat::URLCACHE_NORMAL);
  cache.AddGroup(1);
  cache.SetAvailable(false);
  for (bool installed : {true, false}) {
    if (!installed) {
      plat::Services s = plat::Installed();
      s.urlCache = nullptr;
      plat::Install(s);
    }
    TIECache c;
    int calls = 0;
    c.OnEntry = [&](TIECache&, bool&) { ++calls; };
    c.OnGroup = [&](TIECache&, int64_t, bool&) { ++calls; };
    EXPECT_FALSE(c.LibraryFound());
    EXPECT_EQ(c.ListGroups(), 2u);
    c.ListEntries(0);
    EXPECT_EQ(c.DeleteEntry("http://x/"), 0u);
    EXPECT_EQ(calls, 0);
  }
  EXPECT_TRUE(cache.HasEntry("http://x/"));

  // The check is made again at each use, so a library that turns up is used.
  plat::Services s = plat::Installed();
  s.urlCache = &cache;
  plat::Install(s);
  TIECache c;
  cache.SetAvailable(true);
  EXPECT_TRUE(c.LibraryFound());
  EXPECT_EQ(c.DeleteEntry("http://x/"), 0u);
  EXPECT_FALSE(cache.HasEntry("http://x/"));
}

}  // namespace
