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
  // A copy of the line, as the lines are not kept as strings of their own;
  // raises EListError when out of range.
  std::string Get(int index) const;
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
  // The lines lie back to back in one buffer: a list of a hundred thousand
  // masks then costs its bytes and a few more per entry, not an allocation
  // each. Lines replaced by longer ones or deleted leave unused bytes behind,
  // which are given back once they are as many as the used ones.
  struct LineSpan {
    uint32_t start = 0, len = 0;
  };
  std::string text_;
  std::vector<LineSpan> lines_;
  size_t unusedBytes_ = 0;
  // A failed save raises once; later attempts retry quietly until one works.
  bool saveFailed_ = false;

  // The lookup index. Every entry that could be the answer is filed under
  // one gram (a run of up to eight bytes) of the core of its referrer or URL
  // mask, picked to be rare among the cores; an address can only match the
  // entries filed under the grams it contains. Appending keeps the index in
  // step; every other change leaves it to be built again at the next lookup.
  // A list that is never looked up (the closed and browsed lists) never
  // builds one.
  static constexpr uint32_t kNoEntry = 0xFFFFFFFF;
  static constexpr size_t kGram = 8;  // the longest gram
  struct GramSlot {
    uint32_t key = 0;          // of the gram
    uint32_t last = kNoEntry;  // the last entry filed under it
  };
  struct GramTable {  // open addressing; the size is 0 or a power of two
    std::vector<GramSlot> slots;
    size_t used = 0;
    int shift = 32;  // a key's first slot is its top bits
    uint32_t LastOf(uint32_t key) const;  // kNoEntry when no entry is filed under it
    uint32_t& LastOrNew(uint32_t key);
    void Reserve(size_t keys);
  };
  struct GramChoice {
    uint32_t key = 0;
    uint8_t field = 0;  // 0 referrer, 1 URL
    uint8_t len = 0;    // 0: both masks match everything
  };
  struct Index {
    bool built = false;
    uint32_t firstAny = kNoEntry;  // the first entry whose two masks match everything
    GramTable grams[2][kGram];     // by field (referrer, URL) and gram length
    // Per entry: the next entry filed under the same gram, in list order; the
    // last one leads back to the first. kNoEntry for entries not filed.
    std::vector<uint32_t> next;
    // How many cores have each gram (counted by the top bits of its key, up
    // to 255), to pick rare ones.
    std::vector<uint8_t> gramCounts;
    int countShift = 32;
    std::vector<uint32_t> hits;  // a lookup's lists to search, kept to save allocations
  };
  mutable Index index_;

  std::string_view LineAt(size_t index) const { return {text_.data() + lines_[index].start, lines_[index].len}; }
  LineSpan Store(std::string_view line);
  void Discard(size_t bytes);
  void Append(std::string_view line);
  void BuildIndex() const;
  void CountGrams(std::string_view line) const;
  GramChoice ChooseGram(std::string_view line) const;
  void FileEntry(size_t entry, const GramChoice& choice) const;
  void CheckIndex(int index, int limit) const;
};
