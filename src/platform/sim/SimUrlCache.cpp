#include "platform/sim/SimUrlCache.h"

#include "base/StrUtils.h"

namespace sim {

void SimUrlCache::AddGroup(int64_t id, const Group& group) { groups_[id] = group; }

void SimUrlCache::AddGroup(int64_t id) { groups_[id] = Group(); }

bool SimUrlCache::HasGroup(int64_t id) const { return groups_.count(id) != 0; }

void SimUrlCache::AddEntry(const std::string& url, uint32_t entryType, int64_t groupId) {
  if (groupId != 0 && !HasGroup(groupId)) AddGroup(groupId);
  auto it = byUrl_.find(url);
  if (it != byUrl_.end()) entries_.erase(it->second);
  uint64_t seq = nextSeq_++;
  entries_[seq] = Entry{url, entryType, groupId};
  byUrl_[url] = seq;
}

bool SimUrlCache::HasEntry(const std::string& url) const { return byUrl_.count(url) != 0; }

void SimUrlCache::Clear() {
  groups_.clear();
  entries_.clear();
  byUrl_.clear();
  locked_.clear();
  unreadableGroups_.clear();
}

plat::UrlCacheFind SimUrlCache::FindFirstGroup(int64_t& groupId) {
  if (groups_.empty()) {
    Fail(plat::URLCACHE_ERR_NO_MORE_FILES);
    return 0;
  }
  Find f;
  f.groups = true;
  f.lastGroup = groups_.begin()->first;
  groupId = f.lastGroup;
  plat::UrlCacheFind h = nextFind_++;
  finds_[h] = f;
  return h;
}

bool SimUrlCache::FindNextGroup(plat::UrlCacheFind find, int64_t& groupId) {
  auto fit = finds_.find(find);
  if (fit == finds_.end() || !fit->second.groups) return Fail(plat::URLCACHE_ERR_FILE_NOT_FOUND);
  auto it = groups_.upper_bound(fit->second.lastGroup);
  if (it == groups_.end()) return Fail(plat::URLCACHE_ERR_NO_MORE_FILES);
  fit->second.lastGroup = it->first;
  groupId = it->first;
  return true;
}

bool SimUrlCache::GetGroupAttributes(int64_t groupId, plat::UrlCacheGroupInfo& info) {
  auto it = groups_.find(groupId);
  if (it == groups_.end() || unreadableGroups_.count(groupId)) return Fail(plat::URLCACHE_ERR_FILE_NOT_FOUND);
  info = plat::UrlCacheGroupInfo();
  info.diskUsage = it->second.diskUsage;
  info.diskQuota = it->second.diskQuota;
  info.groupName = it->second.name.substr(0, 120);
  return true;
}

bool SimUrlCache::Matches(const Find& f, const Entry& e) const {
  if (e.group != f.group) return false;
  if ((e.type & f.filter) == 0) return false;
  return !f.hasPattern || f.pattern.empty() || StartsWith(LowerCase(e.url), LowerCase(f.pattern));
}

bool SimUrlCache::NextEntry(Find& f, plat::UrlCacheEntryInfo& entry) {
  for (auto it = entries_.upper_bound(f.lastSeq); it != entries_.end(); ++it) {
    if (!Matches(f, it->second)) continue;
    f.lastSeq = it->first;
    entry = plat::UrlCacheEntryInfo();
    entry.sourceUrlName = it->second.url;
    entry.entryType = it->second.type;
    return true;
  }
  return Fail(plat::URLCACHE_ERR_NO_MORE_ITEMS);
}

plat::UrlCacheFind SimUrlCache::FindFirstEntry(const char* pattern, uint32_t filter, int64_t groupId,
                                               plat::UrlCacheEntryInfo& entry) {
  Find f;
  f.hasPattern = pattern != nullptr;
  if (pattern) f.pattern = pattern;
  f.filter = filter;
  f.group = groupId;
  if (!NextEntry(f, entry)) return 0;
  plat::UrlCacheFind h = nextFind_++;
  finds_[h] = f;
  return h;
}

bool SimUrlCache::FindNextEntry(plat::UrlCacheFind find, plat::UrlCacheEntryInfo& entry) {
  auto fit = finds_.find(find);
  if (fit == finds_.end() || fit->second.groups) return Fail(plat::URLCACHE_ERR_FILE_NOT_FOUND);
  return NextEntry(fit->second, entry);
}

void SimUrlCache::FindClose(plat::UrlCacheFind find) { finds_.erase(find); }

bool SimUrlCache::DeleteEntry(const std::string& url) {
  auto it = byUrl_.find(url);
  if (it == byUrl_.end()) return Fail(plat::URLCACHE_ERR_FILE_NOT_FOUND);
  if (locked_.count(url)) return Fail(plat::URLCACHE_ERR_SHARING_VIOLATION);
  entries_.erase(it->second);
  byUrl_.erase(it);
  return true;
}

}  // namespace sim
