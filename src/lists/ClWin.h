#pragma once
// Window description lists: entries of referrer and address (masks in the
// allow and close lists), kept as one text line per entry, and their ".ppe"
// list files.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct TWinDescr {
  std::string ReservedText;
  std::string Referrer;
  std::string URL;
  std::string Elapsed;
  int16_t Flags = 0;
  int16_t ReservedNum = 0;
  int32_t Time = 0;
};

constexpr int16_t MovableFlag = 1;

// The longest entry line a list file can hold.
constexpr size_t MaxEntryLine = 32767;

bool MatchWinMask(std::string_view mask, std::string_view text);
void ParseWinDescr(std::string_view line, TWinDescr& out);
// The entry line of a record. Text fields are made storable on the way: the
// separator byte 0x01 becomes a blank, and a line that would be longer than
// MaxEntryLine is shortened (the URL first, then the referrer, then the
// other texts).
std::string FormatWinDescr(const TWinDescr& d);
std::string SetDescrKind(std::string_view line, int16_t kind);

// Where a list file lies: beside the autostart copy of the program when one
// is registered, else beside the running program. |fromAutostart| tells which.
std::string ListFilePath(const std::string& fileName, bool* fromAutostart = nullptr);

class TWinDescrList {
 public:
  bool Modified = false;
  // Called after an entry has been appended by AddDescr (for list windows).
  std::function<void(int index)> OnAppend;

  // The string-list operations, with their usual meaning.
  int Count() const { return static_cast<int>(lines_.size()); }
  const std::string& Get(int index) const;    // raises EListError when out of range
  void Put(int index, const std::string& line);
  void Insert(int index, const std::string& line);
  void Delete(int index);
  void Move(int from, int to);
  void Clear();

  void GetDescr(int index, TWinDescr& out) const;
  int FindDescr(std::string_view referrer, std::string_view url) const;
  int AddDescr(const std::string& reservedText, const std::string& referrer, const std::string& url,
               const std::string& elapsed, int16_t flags, int16_t reservedNum, int32_t time);
  void ReplaceDescr(int index, const std::string& reservedText, const std::string& referrer,
                    const std::string& url, const std::string& elapsed, int16_t flags, int16_t reservedNum,
                    int32_t time);
  void LoadList(const std::string& fileName);
  // Writes the list when modified, through a new file that replaces the old
  // one in one step. When the file cannot be written the old one is left
  // whole, Modified stays set so that the next save tries again, and
  // EFCreateError is raised (once per run of failures, not on every retry;
  // the last save at shut-down raises it again, as the changes are lost then).
  void SaveList(const std::string& fileName, bool lastSave = false);

 private:
  std::vector<std::string> lines_;
  // Where the referrer and URL masks of each line lie and how they match,
  // kept in step with lines_ by every operation that changes a line, so that
  // a lookup does not split every line again.
  struct MaskSpan {
    uint32_t start = 0, len = 0;  // the mask's core, without its stars
    uint8_t kind = 0;
    uint64_t pairs = 0;  // summary of the core's byte pairs

  };
  struct LineMasks {
    MaskSpan referrer, url;
  };
  std::vector<LineMasks> masks_;
  // A failed save raises once; later attempts retry quietly until one works.
  bool saveFailed_ = false;

  static LineMasks MasksOf(std::string_view line);
  static bool Matches(const MaskSpan& mask, const std::string& line, std::string_view text, uint64_t textPairs);
  void CheckIndex(int index, int limit) const;
};
