#pragma once
// The browser's URL cache: its groups, its entries (cookies, visited
// addresses, cached pages) and their deletion. The calls follow the
// platform's own cache functions closely: an enumeration is a handle that
// hands out one item per call, and a failing call leaves its error code in
// LastError().
#include <cstdint>
#include <string>

#include "base/DateTime.h"

namespace plat {

// Entry type flags, numbered as the cache numbers them.
enum UrlCacheEntryType : uint32_t {
  URLCACHE_NORMAL = 0x1,
  URLCACHE_STABLE = 0x2,
  URLCACHE_STICKY = 0x4,
  URLCACHE_TRACK_OFFLINE = 0x10,
  URLCACHE_TRACK_ONLINE = 0x20,
  URLCACHE_SPARSE = 0x10000,
  URLCACHE_OCX = 0x20000,
  URLCACHE_COOKIE = 0x100000,
  URLCACHE_URLHISTORY = 0x200000,
};

// Error codes the cache hands back, numbered as the system numbers them.
enum UrlCacheError : uint32_t {
  URLCACHE_ERR_FILE_NOT_FOUND = 2,
  URLCACHE_ERR_NO_MORE_FILES = 18,
  URLCACHE_ERR_SHARING_VIOLATION = 32,
  URLCACHE_ERR_INSUFFICIENT_BUFFER = 122,
  URLCACHE_ERR_PROC_NOT_FOUND = 127,
  URLCACHE_ERR_NO_MORE_ITEMS = 259,
};

// Enumeration handle; 0 is no handle.
using UrlCacheFind = uintptr_t;

struct UrlCacheEntryInfo {
  std::string sourceUrlName;  // the entry's address: what deletion needs
  std::string localFileName;
  uint32_t entryType = 0;
  uint32_t useCount = 0;
  uint32_t hitRate = 0;
  uint64_t size = 0;
  // Local date-time values; 0 when the cache's time could not be converted.
  TDateTime lastModified = 0, expire = 0, lastAccess = 0, lastSync = 0;
  std::string headerInfo;
  std::string fileExtension;
};

struct UrlCacheGroupInfo {
  uint32_t diskUsage = 0;  // in kilobytes
  uint32_t diskQuota = 0;  // in kilobytes
  uint32_t ownerStorage[4] = {0, 0, 0, 0};
  std::string groupName;  // at most 120 bytes
};

class IUrlCache {
 public:
  virtual ~IUrlCache() = default;
  // Whether the cache functions can be used. Once true it stays true; while
  // false, each call checks again.
  virtual bool Available() = 0;

  // All groups: the first group's id and a handle for the rest; 0 when there
  // is none or the call failed.
  virtual UrlCacheFind FindFirstGroup(int64_t& groupId) = 0;
  virtual bool FindNextGroup(UrlCacheFind find, int64_t& groupId) = 0;
  virtual bool GetGroupAttributes(int64_t groupId, UrlCacheGroupInfo& info) = 0;

  // Entries whose address begins with |pattern| (null or "": every address),
  // whose type shares a flag with |filter|, and that belong to the group
  // |groupId| (0: to no group). Deleting the entry just handed out does not
  // disturb the enumeration.
  virtual UrlCacheFind FindFirstEntry(const char* pattern, uint32_t filter, int64_t groupId,
                                      UrlCacheEntryInfo& entry) = 0;
  virtual bool FindNextEntry(UrlCacheFind find, UrlCacheEntryInfo& entry) = 0;
  // Closes an entry or group enumeration.
  virtual void FindClose(UrlCacheFind find) = 0;

  virtual bool DeleteEntry(const std::string& url) = 0;

  // The error code of the last call that failed.
  virtual uint32_t LastError() = 0;
};

}  // namespace plat
