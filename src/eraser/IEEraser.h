#pragma once
// The web traces eraser's work, apart from its window: counting and erasing
// cookies, visited addresses and cached pages (through TIECache), the
// browser's history index files, the typed addresses, the shell's recent
// documents and the user's temporary files.
//
// The eraser window owns one TEraserOps. When it opens it calls CountAll()
// and shows Counts; its box and button update handlers ask BoxEnabled() and
// EraseEnabled(); its erase button calls EraseSelected() with the ticked
// boxes and binds OnProgress to its progress bar.
//
// Everything it deletes lies inside what the user ticked: cache entries
// only through the cache, history files only under the history folder,
// recent documents only through the shell, temporary files only under the
// temporary folder. A folder walk never follows a link (junction or
// symbolic link): a link met in the temporary folder is removed as a link,
// one met in the history folder is left alone. A folder that is missing,
// relative or a drive's root is never searched.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "eraser/IECache.h"

// The seven kinds of traces, in the order erasing takes them.
enum TTraceKind { tkCookies, tkVisited, tkHistory, tkCache, tkTyped, tkRecent, tkTemp };
constexpr int kTraceKinds = 7;

// The kind named "cookies", "visited", "history", "cache", "typed", "recent"
// or "temp"; false when |name| names none.
bool TraceKindFromName(const std::string& name, TTraceKind& kind);

struct TEraserCounts {
  int32_t CookieCount = 0;
  int32_t VisitedCount = 0;
  int32_t HistoryCount = 0;
  int32_t CacheCount = 0;
  int32_t TypedCount = 0;
  int32_t RecentCount = 0;
  int32_t TempCount = 0;

  int32_t Of(TTraceKind kind) const;
};

// The ticked boxes.
struct TEraseSelection {
  bool Checked[kTraceKinds] = {false, false, false, false, false, false, false};

  bool operator[](TTraceKind kind) const { return Checked[kind]; }
  bool& operator[](TTraceKind kind) { return Checked[kind]; }
  static TEraseSelection All();
};

struct TEraseResult {
  int32_t Position = 0;  // where the progress bar ended (never above Max)
  int32_t Max = 0;       // the sum of the counts of the ticked boxes
  int32_t HistoryFailures = 0;  // history index files that could not be deleted
  // The history was erased and some index file stayed (still open in a
  // running browser): the window shows its one warning message.
  bool Warning = false;
};

// The cache entry kinds, each a search pattern with a filter.
enum TCacheKind { ckCookies, ckVisited, ckCache };

class TEraserOps {
 public:
  // Deepest folder level a walk of the temporary folder enters (the folder
  // itself is level 1).
  static constexpr int kMaxTempDepth = 64;

  TEraserOps() = default;
  // The cache handlers point back at this object.
  TEraserOps(const TEraserOps&) = delete;
  TEraserOps& operator=(const TEraserOps&) = delete;

  TIECache Cache;
  // One text per cache group: "%16.16x:%8.8x:%8.8x:%s" of id, disk usage,
  // disk quota and name; rebuilt by ListGroups().
  std::vector<std::string> GroupList;
  // Filled by CountAll(), used by EraseSelected() and the enabling rules.
  TEraserCounts Counts;
  // Progress while erasing: called with (0, max) first, then with every
  // new position.
  std::function<void(int32_t position, int32_t max)> OnProgress;

  // The window's opening: lists the cache groups and works out the seven
  // counts.
  void CountAll();
  // The window's erase button: erases the ticked kinds in their fixed order.
  TEraseResult EraseSelected(const TEraseSelection& checked);

  // Enabling rules: a box while its kind has something to erase; the erase
  // button while some ticked box has.
  bool BoxEnabled(TTraceKind kind) const { return Counts.Of(kind) > 0; }
  bool EraseEnabled(const TEraseSelection& checked) const;

  // The operations the two sequences are made of.
  void ListGroups();
  int32_t CountEntries(TCacheKind kind, int64_t groupId);
  void EraseEntries(TCacheKind kind);
  int32_t CountHistory();
  int32_t EraseHistory();  // the number of index files that stayed
  std::vector<std::string> ListSubfolders(const std::string& folder);
  int32_t CountRecentDocs(const std::string& folder);
  int32_t CountTypedUrls();
  int32_t CountTempFiles();
  int32_t EraseTempFiles();  // the number of files and folders that stayed

  // The browser's history folder ("...\History.IE5"); "" when the special
  // folder is unknown.
  std::string HistoryFolder();
  // The user's temporary folder: "Local Settings" of the shell folders
  // followed by "\Temp" when that folder exists, else the platform's
  // temporary folder; "" when neither gives a folder that may be searched.
  std::string TempFolder();

  static std::string SpecialFolderPath(int folderId);
  // True for an absolute folder below a drive's root ("C:\x" or
  // "\\server\share\x"), with no "." or ".." step.
  static bool SearchableFolder(const std::string& folder);

 private:
  void SelectKind(TCacheKind kind);
  void Advance(int32_t by);
  int32_t WalkTemp(const std::string& folder, int level, bool erase, int32_t& failures);

  int32_t position_ = 0;
  int32_t max_ = 0;
};
