#pragma once
// TIECache: the eraser's window onto the browser's URL cache. It enumerates
// the cache groups and the entries of one kind inside one group, reports
// each to its owner, and deletes the entry being enumerated. The cache work
// itself is the platform's (plat::UrlCache()); this class only chooses what
// to enumerate and drives the enumeration.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include "platform/UrlCache.h"

// Members of the filter set; each stands for one entry type flag.
enum TFilterOption {
  NORMAL_ENTRY,         // 0x1
  STABLE_ENTRY,         // 0x2
  STICKY_ENTRY,         // 0x4
  COOKIE_ENTRY,         // 0x100000
  URLHISTORY_ENTRY,     // 0x200000
  TRACK_OFFLINE_ENTRY,  // 0x10
  TRACK_ONLINE_ENTRY,   // 0x20
  SPARSE_ENTRY,         // 0x10000
  OCX_ENTRY,            // 0x20000
};

// A set of TFilterOption: bit N holds member N.
using TFilterOptions = uint32_t;
constexpr TFilterOptions FilterSet(std::initializer_list<TFilterOption> members) {
  TFilterOptions s = 0;
  for (TFilterOption m : members) s |= 1u << m;
  return s;
}

// Which address prefix an enumeration asks for: none, "Cookie:",
// "Visited:", or the empty text.
enum TSearchPattern { spAll, spCookies, spHistory, spUrl };

using TCacheEntryInfo = plat::UrlCacheEntryInfo;
using TCacheGroupInfo = plat::UrlCacheGroupInfo;

class TIECache {
 public:
  // Cancel ends the enumeration under way.
  using TOnEntryEvent = std::function<void(TIECache& sender, bool& cancel)>;
  using TOnGroupEvent = std::function<void(TIECache& sender, int64_t groupId, bool& cancel)>;

  static constexpr TFilterOptions kDefaultFilterOptions =
      FilterSet({NORMAL_ENTRY, STICKY_ENTRY, COOKIE_ENTRY, URLHISTORY_ENTRY, TRACK_OFFLINE_ENTRY, TRACK_ONLINE_ENTRY});

  TIECache();

  TFilterOptions FilterOptions() const { return filterOptions_; }
  // Also works out the numeric Filter from the set.
  void SetFilterOptions(TFilterOptions options);
  uint32_t Filter() const { return filter_; }

  TSearchPattern SearchPattern = spAll;
  TOnEntryEvent OnEntry;
  TOnGroupEvent OnGroup;

  // Whether the platform's cache can be used; while it cannot, every
  // operation does nothing.
  bool LibraryFound();

  // Calls OnGroup for every cache group; 0, or the platform's error code
  // (2 when the cache cannot be used).
  uint32_t ListGroups();
  // Calls OnEntry for every entry of the group (0: of no group) that matches
  // SearchPattern and Filter.
  void ListEntries(int64_t groupId);
  // 0, or the platform's error code. Safe to call from OnEntry with the
  // entry just reported.
  uint32_t DeleteEntry(const std::string& address);

  const TCacheEntryInfo& CurrentEntry() const { return currentEntry_; }
  const TCacheGroupInfo& CurrentGroup() const { return currentGroup_; }

 private:
  plat::IUrlCache* Cache();

  TFilterOptions filterOptions_ = 0;
  uint32_t filter_ = 0;
  TCacheEntryInfo currentEntry_;
  TCacheGroupInfo currentGroup_;
};
