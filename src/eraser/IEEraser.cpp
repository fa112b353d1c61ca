#include "eraser/IEEraser.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "base/Format.h"
#include "base/StrUtils.h"
#include "platform/FindFiles.h"
#include "platform/Services.h"
#include "settings/RegProc.h"

using plat::RegRoot;

namespace {

const char* const kTypedUrlsKey = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
const char* const kShellFoldersKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

const char* const kKindNames[kTraceKinds] = {"cookies", "visited", "history", "cache", "typed", "recent", "temp"};

// Attribute masks of the three folder searches.
constexpr uint32_t kSubfolderMask = plat::FA_SYSTEM | plat::FA_DIRECTORY;  // 20
constexpr uint32_t kRecentMask = plat::FA_READONLY | plat::FA_HIDDEN | plat::FA_SYSTEM | plat::FA_ARCHIVE;  // 39
constexpr uint32_t kTempMask = 63;  // every entry

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string WithoutTrailingSeparators(std::string path) {
  while (!path.empty() && IsSeparator(path.back())) path.pop_back();
  return path;
}

bool IsLink(const plat::FindEntry& e) { return (e.attributes & plat::FA_REPARSE_POINT) != 0; }

// Counts the "://" marks of an index file, one per address it holds. A
// mark in the file's very last three bytes starts no address and is not
// counted. An unreadable file counts 0.
int32_t CountUrlMarks(const std::string& path) {
  std::unique_ptr<plat::IFile> file = plat::Files().Open(path, plat::OpenMode::Read);
  if (!file) return 0;
  int32_t count = 0;
  char buf[64 * 1024 + 2];
  size_t carry = 0;  // the last two bytes of the previous chunk, kept in front
  bool markAtEnd = false;
  for (;;) {
    size_t n = file->Read(buf + carry, sizeof buf - carry);
    if (n == 0) break;
    size_t len = carry + n;
    markAtEnd = false;
    for (size_t i = 0; i + 2 < len; ++i)
      if (buf[i] == ':' && buf[i + 1] == '/' && buf[i + 2] == '/') {
        ++count;
        markAtEnd = i + 3 == len;
      }
    carry = std::min<size_t>(2, len);
    std::memmove(buf, buf + len - carry, carry);
  }
  return markAtEnd ? count - 1 : count;
}

}  // namespace

bool TraceKindFromName(const std::string& name, TTraceKind& kind) {
  for (int k = 0; k < kTraceKinds; ++k)
    if (name == kKindNames[k]) {
      kind = static_cast<TTraceKind>(k);
      return true;
    }
  return false;
}

int32_t TEraserCounts::Of(TTraceKind kind) const {
  switch (kind) {
    case tkCookies: return CookieCount;
    case tkVisited: return VisitedCount;
    case tkHistory: return HistoryCount;
    case tkCache: return CacheCount;
    case tkTyped: return TypedCount;
    case tkRecent: return RecentCount;
    case tkTemp: return TempCount;
  }
  return 0;
}

TEraseSelection TEraseSelection::All() {
  TEraseSelection s;
  for (bool& b : s.Checked) b = true;
  return s;
}

// --- The cache kinds ---------------------------------------------------------

void TEraserOps::SelectKind(TCacheKind kind) {
  constexpr TFilterOptions common =
      FilterSet({NORMAL_ENTRY, STABLE_ENTRY, STICKY_ENTRY, TRACK_OFFLINE_ENTRY, TRACK_ONLINE_ENTRY, SPARSE_ENTRY});
  switch (kind) {
    case ckCookies:
      Cache.SearchPattern = spCookies;
      Cache.SetFilterOptions(common | FilterSet({COOKIE_ENTRY}));
      break;
    case ckVisited:
      Cache.SearchPattern = spHistory;
      Cache.SetFilterOptions(common | FilterSet({URLHISTORY_ENTRY}));
      break;
    case ckCache:
      Cache.SearchPattern = spUrl;
      Cache.SetFilterOptions(common);
      break;
  }
}

void TEraserOps::ListGroups() {
  GroupList.clear();
  Cache.OnGroup = [this](TIECache& cache, int64_t groupId, bool&) {
    const TCacheGroupInfo& g = cache.CurrentGroup();
    GroupList.push_back(Format("%16.16x:%8.8x:%8.8x:%s",
                               {static_cast<long long>(groupId), g.diskUsage, g.diskQuota, g.groupName}));
  };
  Cache.ListGroups();  // a cache without groups answers with an error code; nothing to do about it
}

int32_t TEraserOps::CountEntries(TCacheKind kind, int64_t groupId) {
  SelectKind(kind);
  int32_t counter = 0;
  Cache.OnEntry = [&counter](TIECache&, bool&) { ++counter; };
  Cache.ListEntries(groupId);
  Cache.OnEntry = nullptr;
  return counter;
}

void TEraserOps::EraseEntries(TCacheKind kind) {
  SelectKind(kind);
  // Only the entries of no group are erased; an entry that cannot be
  // deleted stays, and the progress still moves on for it.
  Cache.OnEntry = [this](TIECache& cache, bool&) {
    const std::string address = cache.CurrentEntry().sourceUrlName;
    cache.DeleteEntry(address);
    Advance(1);
  };
  Cache.ListEntries(0);
  Cache.OnEntry = nullptr;
}

// --- History -----------------------------------------------------------------

std::string TEraserOps::HistoryFolder() {
  std::string base = WithoutTrailingSeparators(SpecialFolderPath(plat::CSIDL_HISTORY_ID));
  if (base.empty()) return "";
  std::string folder = base + "\\History.IE5";
  return SearchableFolder(folder) ? folder : "";
}

std::vector<std::string> TEraserOps::ListSubfolders(const std::string& folder) {
  std::vector<std::string> names;
  if (!SearchableFolder(folder)) return names;
  for (const plat::FindEntry& e : plat::FindWithAttributes(folder + "\\*.*", kSubfolderMask)) {
    if (!(e.attributes & plat::FA_DIRECTORY) || e.name.empty() || e.name[0] == '.') continue;
    // A linked folder lies elsewhere: its index file is not ours to read or delete.
    if (IsLink(e)) continue;
    names.push_back(e.name);
  }
  return names;
}

int32_t TEraserOps::CountHistory() {
  std::string folder = HistoryFolder();
  if (folder.empty()) return 0;
  int32_t count = 0;
  for (const std::string& sub : ListSubfolders(folder)) {
    std::string index = folder + "\\" + sub + "\\index.dat";
    if (plat::Files().FileExists(index)) count += CountUrlMarks(index);
  }
  return count;
}

int32_t TEraserOps::EraseHistory() {
  std::string folder = HistoryFolder();
  if (folder.empty()) return 0;
  int32_t failures = 0;
  for (const std::string& sub : ListSubfolders(folder)) {
    std::string index = folder + "\\" + sub + "\\index.dat";
    if (!plat::Files().FileExists(index)) continue;
    // A running browser keeps its index files open; those stay, and the
    // user is told once to close the browser.
    if (plat::Files().DeleteFile(index))
      plat::Files().RemoveDirectory(folder + "\\" + sub);  // only when nothing else is left in it
    else
      ++failures;
  }
  return failures;
}

// --- Recent documents and typed addresses ------------------------------------

int32_t TEraserOps::CountRecentDocs(const std::string& folder) {
  if (!SearchableFolder(folder)) return 0;
  int32_t count = 0;
  for (const plat::FindEntry& e : plat::FindWithAttributes(WithoutTrailingSeparators(folder) + "\\*.*", kRecentMask)) {
    // The folder's own Desktop.ini is no document, in whatever letter case
    // it was written (the shell's list keeps it when emptied, too).
    if (e.name.empty() || e.name[0] == '.' || SameText(e.name, "Desktop.ini")) continue;
    ++count;
  }
  return count;
}

int32_t TEraserOps::CountTypedUrls() {
  return static_cast<int32_t>(GetRegValueNames(RegRoot::CurrentUser, kTypedUrlsKey).size());
}

// --- Temporary files ---------------------------------------------------------

std::string TEraserOps::TempFolder() {
  std::string local = WithoutTrailingSeparators(ReadRegString(RegRoot::CurrentUser, kShellFoldersKey, "Local Settings"));
  if (!local.empty()) {
    std::string folder = local + "\\Temp";
    if (SearchableFolder(folder) && plat::Files().DirectoryExists(folder)) return folder;
  }
  // No usable shell-folder value: the user's own temporary folder. Without
  // this, the missing value would send the walk to "\Temp" at the root of
  // whatever drive is current.
  std::string folder = WithoutTrailingSeparators(plat::System().TempPath());
  return SearchableFolder(folder) ? folder : "";
}

int32_t TEraserOps::WalkTemp(const std::string& folder, int level, bool erase, int32_t& failures) {
  plat::IFileSystem& files = plat::Files();
  int32_t count = 0;
  for (const plat::FindEntry& e : plat::FindWithAttributes(folder + "\\*.*", kTempMask)) {
    if (e.name.empty() || e.name[0] == '.' || (e.attributes & plat::FA_VOLUMEID)) continue;
    const std::string path = folder + "\\" + e.name;
    const bool dir = (e.attributes & plat::FA_DIRECTORY) != 0;
    if (dir && !IsLink(e)) {
      if (level >= kMaxTempDepth) continue;  // too deep: left as it is
      count += WalkTemp(path, level + 1, erase, failures);
      if (erase && !files.RemoveDirectory(path)) ++failures;
      continue;
    }
    // A file, or a link, which is an entry of its own and never entered.
    ++count;
    if (!erase) continue;
    if (dir) {
      // Removing a linked folder removes the link, not what it points to.
      if (!files.RemoveDirectory(path)) ++failures;
    } else if (!files.DeleteFile(path)) {
      // A read-only file goes once its attributes are cleared. A link's
      // attributes would be set on its target, so a link gets no second try.
      if (IsLink(e) || !files.SetAttributes(path, plat::FA_NORMAL) || !files.DeleteFile(path)) ++failures;
    }
  }
  return count;
}

int32_t TEraserOps::CountTempFiles() {
  std::string temp = TempFolder();
  if (temp.empty()) return 0;
  int32_t failures = 0;
  return WalkTemp(temp, 1, false, failures);
}

int32_t TEraserOps::EraseTempFiles() {
  std::string temp = TempFolder();
  if (temp.empty()) return 0;
  int32_t failures = 0;
  WalkTemp(temp, 1, true, failures);
  return failures;
}

// --- Folders -----------------------------------------------------------------

std::string TEraserOps::SpecialFolderPath(int folderId) {
  std::string path = plat::System().SpecialFolderPath(folderId);
  size_t zero = path.find('\0');
  if (zero != std::string::npos) path.resize(zero);
  return path;
}

bool TEraserOps::SearchableFolder(const std::string& folder) {
  size_t pos = 0;
  size_t rootSteps = 0;  // steps that still belong to the root
  if (folder.size() >= 3 && std::isalpha(static_cast<unsigned char>(folder[0])) && folder[1] == ':' &&
      IsSeparator(folder[2])) {
    pos = 3;
  } else if (folder.size() >= 2 && IsSeparator(folder[0]) && IsSeparator(folder[1])) {
    pos = 2;
    rootSteps = 2;  // server and share
  } else {
    return false;  // relative: it would lie wherever the current folder is
  }
  std::vector<std::string> steps;
  std::string step;
  for (size_t i = pos; i <= folder.size(); ++i) {
    if (i == folder.size() || IsSeparator(folder[i])) {
      if (!step.empty()) steps.push_back(step);
      step.clear();
    } else {
      step += folder[i];
    }
  }
  for (const std::string& s : steps) {
    // Windows drops trailing dots and blanks, so "..." or ". " would climb
    // or stay where it is just as ".." and "." do.
    if (s.find_first_not_of(". ") == std::string::npos) return false;
  }
  // "\\?\" and "\\.\" name devices, not servers.
  if (rootSteps && !steps.empty() && (steps[0] == "?" || steps[0] == ".")) return false;
  return steps.size() > rootSteps;
}

// --- The window's two sequences ----------------------------------------------

void TEraserOps::CountAll() {
  ListGroups();
  Counts = TEraserCounts();
  int32_t* cacheCounts[] = {&Counts.CookieCount, &Counts.VisitedCount, &Counts.CacheCount};
  for (TCacheKind kind : {ckCookies, ckVisited, ckCache}) {
    int32_t count = CountEntries(kind, 0);
    for (const std::string& line : GroupList) {
      int64_t id = 0;
      if (line.size() >= 16) {
        const std::string hex = line.substr(0, 16);
        if (hex.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos)
          id = static_cast<int64_t>(std::stoull(hex, nullptr, 16));
      }
      // Group 0 would be the entries of no group, already counted above.
      if (id != 0) count += CountEntries(kind, id);
    }
    *cacheCounts[kind] = count;
  }
  Counts.HistoryCount = CountHistory();
  Counts.TypedCount = CountTypedUrls();
  Counts.RecentCount = CountRecentDocs(SpecialFolderPath(plat::CSIDL_RECENT_ID));
  Counts.TempCount = CountTempFiles();
}

void TEraserOps::Advance(int32_t by) {
  // Entries added since the counting would carry the bar past its end.
  position_ = std::min(max_, position_ + by);
  if (OnProgress) OnProgress(position_, max_);
}

bool TEraserOps::EraseEnabled(const TEraseSelection& checked) const {
  for (int k = 0; k < kTraceKinds; ++k)
    if (checked.Checked[k] && Counts.Of(static_cast<TTraceKind>(k)) > 0) return true;
  return false;
}

TEraseResult TEraserOps::EraseSelected(const TEraseSelection& checked) {
  TEraseResult result;
  max_ = 0;
  for (int k = 0; k < kTraceKinds; ++k)
    if (checked.Checked[k]) max_ += Counts.Of(static_cast<TTraceKind>(k));
  position_ = 0;
  if (OnProgress) OnProgress(0, max_);

  if (checked[tkCookies]) EraseEntries(ckCookies);
  if (checked[tkVisited]) EraseEntries(ckVisited);
  if (checked[tkHistory]) {
    result.HistoryFailures = EraseHistory();
    Advance(Counts.HistoryCount);
  }
  if (checked[tkCache]) EraseEntries(ckCache);
  if (checked[tkTyped]) {
    // Value by value: the key itself stays.
    for (const std::string& name : GetRegValueNames(RegRoot::CurrentUser, kTypedUrlsKey)) {
      if (name.empty()) continue;
      DeleteRegValue(RegRoot::CurrentUser, kTypedUrlsKey, name);
      Advance(1);
    }
  }
  if (checked[tkRecent]) {
    plat::System().ClearRecentDocs();
    Advance(Counts.RecentCount);
  }
  if (checked[tkTemp]) {
    EraseTempFiles();
    Advance(Counts.TempCount);
  }

  result.Position = position_;
  result.Max = max_;
  result.Warning = checked[tkHistory] && result.HistoryFailures > 0;
  return result;
}
