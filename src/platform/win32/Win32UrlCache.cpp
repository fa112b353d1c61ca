#include "platform/win32/Win32UrlCache.h"

#include "platform/win32/Win32Backend.h"

#include <wininet.h>

#include <cstring>
#include <vector>

namespace {

// Local date-time (days since 1899-12-30) of a cache time; 0 when it has
// none or it cannot be converted.
TDateTime ToDateTime(const FILETIME& ft) {
  if (ft.dwLowDateTime == 0 && ft.dwHighDateTime == 0) return 0;
  FILETIME local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&ft, &local) || !FileTimeToSystemTime(&local, &st)) return 0;
  return plat::win32::SystemTimeToDateTime(st);
}

std::string Text(const char* s) { return s ? std::string(s) : std::string(); }

class Win32UrlCache : public plat::IUrlCache {
 public:
  Win32UrlCache() : buffer_(4096 / sizeof(uint64_t)) { Available(); }  // worked out at start-up
  ~Win32UrlCache() override {
    if (lib_) FreeLibrary(lib_);
  }

  bool Available() override {
    if (found_) return true;
    HMODULE lib = LoadLibraryA("wininet.dll");
    if (!lib) return false;
    auto proc = [lib](const char* name) { return GetProcAddress(lib, name); };
    // These five decide whether the cache can be used at all.
    FARPROC firstGroup = proc("FindFirstUrlCacheGroup");
    FARPROC nextGroup = proc("FindNextUrlCacheGroup");
    FARPROC groupAttr = proc("GetUrlCacheGroupAttributeA");
    FARPROC setGroupAttr = proc("SetUrlCacheGroupAttributeA");
    FARPROC firstEntry = proc("FindFirstUrlCacheEntryExA");
    if (!firstGroup || !nextGroup || !groupAttr || !setGroupAttr || !firstEntry) {
      FreeLibrary(lib);
      return false;
    }
    lib_ = lib;
    findFirstGroup_ = reinterpret_cast<decltype(&::FindFirstUrlCacheGroup)>(reinterpret_cast<void*>(firstGroup));
    findNextGroup_ = reinterpret_cast<decltype(&::FindNextUrlCacheGroup)>(reinterpret_cast<void*>(nextGroup));
    getGroupAttr_ = reinterpret_cast<decltype(&::GetUrlCacheGroupAttributeA)>(reinterpret_cast<void*>(groupAttr));
    findFirstEntry_ = reinterpret_cast<decltype(&::FindFirstUrlCacheEntryExA)>(reinterpret_cast<void*>(firstEntry));
    findNextEntry_ = reinterpret_cast<decltype(&::FindNextUrlCacheEntryExA)>(
        reinterpret_cast<void*>(proc("FindNextUrlCacheEntryExA")));
    findClose_ = reinterpret_cast<decltype(&::FindCloseUrlCache)>(reinterpret_cast<void*>(proc("FindCloseUrlCache")));
    FARPROC del = proc("DeleteUrlCacheEntryA");
    if (!del) del = proc("DeleteUrlCacheEntry");
    deleteEntry_ = reinterpret_cast<decltype(&::DeleteUrlCacheEntryA)>(reinterpret_cast<void*>(del));
    found_ = true;
    return true;
  }

  plat::UrlCacheFind FindFirstGroup(int64_t& groupId) override {
    if (!Available()) {
      Missing();
      return 0;
    }
    GROUPID id = 0;
    HANDLE h = findFirstGroup_(0, 0, nullptr, 0, &id, nullptr);
    if (!h) {
      Failed();
      return 0;
    }
    groupId = id;
    return reinterpret_cast<plat::UrlCacheFind>(h);
  }

  bool FindNextGroup(plat::UrlCacheFind find, int64_t& groupId) override {
    if (!Available()) return Missing();
    GROUPID id = 0;
    if (!findNextGroup_(reinterpret_cast<HANDLE>(find), &id, nullptr)) return Failed();
    groupId = id;
    return true;
  }

  bool GetGroupAttributes(int64_t groupId, plat::UrlCacheGroupInfo& info) override {
    if (!Available()) return Missing();
    INTERNET_CACHE_GROUP_INFOA g;
    ZeroMemory(&g, sizeof g);
    g.dwGroupSize = sizeof g;
    DWORD size = sizeof g;
    if (!getGroupAttr_(groupId, 0, 0xFFFFFFFF, &g, &size, nullptr)) return Failed();
    info.diskUsage = g.dwDiskUsage;
    info.diskQuota = g.dwDiskQuota;
    for (int i = 0; i < 4; ++i) info.ownerStorage[i] = g.dwOwnerStorage[i];
    info.groupName.assign(g.szGroupName, strnlen(g.szGroupName, sizeof g.szGroupName));
    return true;
  }

  plat::UrlCacheFind FindFirstEntry(const char* pattern, uint32_t filter, int64_t groupId,
                                    plat::UrlCacheEntryInfo& entry) override {
    if (!Available()) {
      Missing();
      return 0;
    }
    HANDLE h = nullptr;
    // The cache says how large the entry is when the buffer is too small;
    // the buffer is kept for the entries that follow.
    for (int attempt = 0; attempt < 3 && !h; ++attempt) {
      DWORD size = static_cast<DWORD>(Bytes());
      h = findFirstEntry_(pattern, 0, filter, groupId, Info(), &size, nullptr, nullptr, nullptr);
      if (!h && !Grow(size)) break;
    }
    if (!h) {
      Failed();
      return 0;
    }
    Copy(entry);
    return reinterpret_cast<plat::UrlCacheFind>(h);
  }

  bool FindNextEntry(plat::UrlCacheFind find, plat::UrlCacheEntryInfo& entry) override {
    if (!Available() || !findNextEntry_) return Missing();
    for (int attempt = 0; attempt < 3; ++attempt) {
      DWORD size = static_cast<DWORD>(Bytes());
      if (findNextEntry_(reinterpret_cast<HANDLE>(find), Info(), &size, nullptr, nullptr, nullptr)) {
        Copy(entry);
        return true;
      }
      if (!Grow(size)) break;
    }
    return Failed();
  }

  void FindClose(plat::UrlCacheFind find) override {
    if (find && findClose_) findClose_(reinterpret_cast<HANDLE>(find));
  }

  bool DeleteEntry(const std::string& url) override {
    if (!Available() || !deleteEntry_) return Missing();
    if (!deleteEntry_(url.c_str())) return Failed();
    return true;
  }

  uint32_t LastError() override { return lastError_; }

 private:
  size_t Bytes() const { return buffer_.size() * sizeof(uint64_t); }

  INTERNET_CACHE_ENTRY_INFOA* Info() {
    return reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer_.data());
  }

  // After a failed fetch: true when the failure only asked for a larger
  // buffer, which is then made.
  bool Grow(DWORD needed) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    size_t want = needed > Bytes() ? needed : Bytes() * 2;
    buffer_.resize((want + sizeof(uint64_t) - 1) / sizeof(uint64_t));
    return true;
  }

  void Copy(plat::UrlCacheEntryInfo& entry) {
    const INTERNET_CACHE_ENTRY_INFOA& e = *Info();
    entry = plat::UrlCacheEntryInfo();
    entry.sourceUrlName = Text(e.lpszSourceUrlName);
    entry.localFileName = Text(e.lpszLocalFileName);
    entry.entryType = e.CacheEntryType;
    entry.useCount = e.dwUseCount;
    entry.hitRate = e.dwHitRate;
    entry.size = (static_cast<uint64_t>(e.dwSizeHigh) << 32) | e.dwSizeLow;
    entry.lastModified = ToDateTime(e.LastModifiedTime);
    entry.expire = ToDateTime(e.ExpireTime);
    entry.lastAccess = ToDateTime(e.LastAccessTime);
    entry.lastSync = ToDateTime(e.LastSyncTime);
    if (e.lpHeaderInfo) entry.headerInfo.assign(e.lpHeaderInfo, e.dwHeaderInfoSize);
    entry.fileExtension = Text(e.lpszFileExtension);
  }

  bool Failed() {
    lastError_ = GetLastError();
    return false;
  }
  bool Missing() {
    lastError_ = ERROR_PROC_NOT_FOUND;
    return false;
  }

  HMODULE lib_ = nullptr;
  bool found_ = false;
  decltype(&::FindFirstUrlCacheGroup) findFirstGroup_ = nullptr;
  decltype(&::FindNextUrlCacheGroup) findNextGroup_ = nullptr;
  decltype(&::GetUrlCacheGroupAttributeA) getGroupAttr_ = nullptr;
  decltype(&::FindFirstUrlCacheEntryExA) findFirstEntry_ = nullptr;
  decltype(&::FindNextUrlCacheEntryExA) findNextEntry_ = nullptr;
  decltype(&::FindCloseUrlCache) findClose_ = nullptr;
  decltype(&::DeleteUrlCacheEntryA) deleteEntry_ = nullptr;
  // Entry buffer, 8-byte aligned for the structure at its start.
  std::vector<uint64_t> buffer_;
  uint32_t lastError_ = 0;
};

}  // namespace

std::unique_ptr<plat::IUrlCache> CreateWin32UrlCache() { return std::make_unique<Win32UrlCache>(); }
