#include "eraser/IECache.h"

#include <iterator>

#include "platform/Services.h"

namespace {

// The entry type flag of each filter member, in member order.
constexpr uint32_t kMemberFlags[] = {
    plat::URLCACHE_NORMAL,        plat::URLCACHE_STABLE,        plat::URLCACHE_STICKY,
    plat::URLCACHE_COOKIE,        plat::URLCACHE_URLHISTORY,    plat::URLCACHE_TRACK_OFFLINE,
    plat::URLCACHE_TRACK_ONLINE,  plat::URLCACHE_SPARSE,        plat::URLCACHE_OCX,
};

// What ListGroups answers while the cache cannot be used.
constexpr uint32_t kNoLibraryError = 2;

const char* PatternText(TSearchPattern p) {
  switch (p) {
    case spCookies: return "Cookie:";
    case spHistory: return "Visited:";
    case spUrl: return "";  // an empty text, which is not the same as none
    case spAll: break;
  }
  return nullptr;
}

}  // namespace

TIECache::TIECache() {
  SetFilterOptions(kDefaultFilterOptions);
  // Ask once now, so that a missing cache library is found out at start-up.
  LibraryFound();
}

void TIECache::SetFilterOptions(TFilterOptions options) {
  filterOptions_ = options;
  filter_ = 0;
  for (unsigned bit = 0; bit < std::size(kMemberFlags); ++bit)
    if (options & (1u << bit)) filter_ |= kMemberFlags[bit];
}

plat::IUrlCache* TIECache::Cache() { return plat::Installed().urlCache; }

bool TIECache::LibraryFound() {
  plat::IUrlCache* cache = Cache();
  return cache && cache->Available();
}

uint32_t TIECache::ListGroups() {
  if (!LibraryFound()) return kNoLibraryError;
  plat::IUrlCache& cache = *Cache();
  int64_t groupId = 0;
  plat::UrlCacheFind find = cache.FindFirstGroup(groupId);
  if (!find) return cache.LastError();

  // One Cancel flag for the whole enumeration, the first call included.
  bool cancel = false;
  // A group whose attributes cannot be read is still reported, with the
  // attributes of the group before it.
  cache.GetGroupAttributes(groupId, currentGroup_);
  if (OnGroup) OnGroup(*this, groupId, cancel);
  while (!cancel && cache.FindNextGroup(find, groupId)) {
    cache.GetGroupAttributes(groupId, currentGroup_);
    if (OnGroup) OnGroup(*this, groupId, cancel);
  }
  cache.FindClose(find);
  return 0;
}

void TIECache::ListEntries(int64_t groupId) {
  if (!LibraryFound()) return;
  plat::IUrlCache& cache = *Cache();
  bool cancel = false;
  TCacheEntryInfo entry;
  plat::UrlCacheFind find = cache.FindFirstEntry(PatternText(SearchPattern), filter_, groupId, entry);
  if (!find) return;
  currentEntry_ = std::move(entry);
  if (OnEntry) OnEntry(*this, cancel);
  while (!cancel && cache.FindNextEntry(find, entry)) {
    currentEntry_ = std::move(entry);
    if (OnEntry) OnEntry(*this, cancel);
  }
  cache.FindClose(find);
}

uint32_t TIECache::DeleteEntry(const std::string& address) {
  if (!LibraryFound()) return 0;
  plat::IUrlCache& cache = *Cache();
  if (!cache.DeleteEntry(address)) return cache.LastError();
  currentEntry_ = TCacheEntryInfo();
  return 0;
}
