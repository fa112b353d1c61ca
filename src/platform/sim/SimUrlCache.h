#pragma once
// The simulated URL cache: groups and entries kept in memory. Tests and
// scenario set-ups fill it; the program reads and deletes through the
// plat::IUrlCache calls, which behave as the browser's cache does where
// the program depends on it:
// - an entry is selected when its address begins with the search pattern
//   (ASCII case ignored; none or "" selects every address), when its type
//   shares a flag with the filter, and when it belongs to the group asked
//   for (0: to no group);
// - entries are handed out in the order they were added; deleting any
//   entry, the current one included, does not disturb an enumeration;
// - an address (compared exactly) is the entry's key: adding it again
//   replaces the entry.
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "platform/UrlCache.h"

namespace sim {

class SimUrlCache : public plat::IUrlCache {
 public:
  struct Group {
    std::string name;
    uint32_t diskUsage = 0;
    uint32_t diskQuota = 0;
  };

  // Set-up and inspection.
  void AddGroup(int64_t id, const Group& group);
  void AddGroup(int64_t id);
  bool HasGroup(int64_t id) const;
  // Adds or replaces the entry with this address; the group is created
  // when new (0: no group).
  void AddEntry(const std::string& url, uint32_t entryType, int64_t groupId = 0);
  bool HasEntry(const std::string& url) const;
  size_t EntryCount() const { return entries_.size(); }
  void Clear();

  // Faults: the library is missing; an entry is in use and cannot be
  // deleted; a group's attributes cannot be read.
  void SetAvailable(bool available) { available_ = available; }
  void LockEntry(const std::string& url) { locked_.insert(url); }
  void FailGroupAttributes(int64_t id) { unreadableGroups_.insert(id); }
  // How many enumeration handles are open (a leak shows here).
  size_t OpenFinds() const { return finds_.size(); }

  // plat::IUrlCache
  bool Available() override { return available_; }
  plat::UrlCacheFind FindFirstGroup(int64_t& groupId) override;
  bool FindNextGroup(plat::UrlCacheFind find, int64_t& groupId) override;
  bool GetGroupAttributes(int64_t groupId, plat::UrlCacheGroupInfo& info) override;
  plat::UrlCacheFind FindFirstEntry(const char* pattern, uint32_t filter, int64_t groupId,
                                    plat::UrlCacheEntryInfo& entry) override;
  bool FindNextEntry(plat::UrlCacheFind find, plat::UrlCacheEntryInfo& entry) override;
  void FindClose(plat::UrlCacheFind find) override;
  bool DeleteEntry(const std::string& url) override;
  uint32_t LastError() override { return lastError_; }

 private:
  struct Entry {
    std::string url;
    uint32_t type = 0;
    int64_t group = 0;
  };
  // An enumeration remembers the last item it handed out, by its key, and
  // goes on with the next key; so deletions never leave it dangling.
  struct Find {
    bool groups = false;
    bool hasPattern = false;
    std::string pattern;
    uint32_t filter = 0;
    int64_t group = 0;
    uint64_t lastSeq = 0;   // entries: sequence number of the last one
    int64_t lastGroup = 0;  // groups: id of the last one
  };

  bool Matches(const Find& f, const Entry& e) const;
  bool NextEntry(Find& f, plat::UrlCacheEntryInfo& entry);
  bool Fail(uint32_t error) {
    lastError_ = error;
    return false;
  }

  bool available_ = true;
  std::map<int64_t, Group> groups_;
  std::map<uint64_t, Entry> entries_;       // by sequence number: order of adding
  std::map<std::string, uint64_t> byUrl_;   // address -> sequence number
  uint64_t nextSeq_ = 1;
  std::set<std::string> locked_;
  std::set<int64_t> unreadableGroups_;
  std::map<plat::UrlCacheFind, Find> finds_;
  plat::UrlCacheFind nextFind_ = 0x100;
  uint32_t lastError_ = 0;
};

}  // namespace sim
