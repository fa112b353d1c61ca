#include "lists/ClWin.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "base/Bytes.h"
#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/StrUtils.h"
#include "lists/ListUtils.h"
#include "platform/Services.h"
#include "settings/LogFile.h"
#include "settings/RegProc.h"

namespace {

constexpr char kSep = '\x01';
constexpr int kFieldCount = 7;

// How a mask matches, decided once from its stars.
enum MaskKind : uint8_t { kAny, kContains, kEndsWith, kStartsWith, kEquals };

struct Mask {
  std::string_view core;  // the mask without its leading and trailing star
  MaskKind kind;
};

Mask CompileMask(std::string_view mask) {
  if (mask.empty() || mask == "*") return {{}, kAny};  // as if it were "**"
  const bool lead = mask.front() == '*';
  if (lead) mask.remove_prefix(1);
  const bool trail = !mask.empty() && mask.back() == '*';
  if (trail) mask.remove_suffix(1);
  MaskKind kind = kEquals;
  if (lead && trail)
    kind = mask.empty() ? kAny : kContains;
  else if (lead)
    kind = kEndsWith;
  else if (trail)
    kind = kStartsWith;
  return {mask, kind};
}

bool Matches(const Mask& mask, std::string_view text) {
  const std::string_view core = mask.core;
  switch (mask.kind) {
    case kAny:
      return true;
    case kContains:
      return core.size() <= text.size() && text.find(core) != std::string_view::npos;
    case kEndsWith:
      return core.size() <= text.size() &&
             std::memcmp(text.data() + text.size() - core.size(), core.data(), core.size()) == 0;
    case kStartsWith:
      return core.size() <= text.size() && std::memcmp(text.data(), core.data(), core.size()) == 0;
    case kEquals:
      return core.size() == text.size() && std::memcmp(text.data(), core.data(), core.size()) == 0;
  }
  return false;
}

// The first N fields of an entry line: field k runs up to the k-th separator
// (the last one present runs to the end of the line); missing fields are
// empty and anything after the N-th separator is ignored.
template <size_t N>
void SplitFields(std::string_view line, std::string_view (&fields)[N]) {
  size_t pos = 0;
  for (auto& field : fields) {
    if (pos > line.size()) {
      field = {};
      continue;
    }
    size_t end = line.find(kSep, pos);
    if (end == std::string_view::npos) end = line.size();
    field = line.substr(pos, end - pos);
    pos = end + 1;
  }
}

// The referrer and URL masks of an entry line.
struct EntryMasks {
  Mask referrer, url;
};

EntryMasks MasksOf(std::string_view line) {
  std::string_view f[3];
  SplitFields(line, f);
  return {CompileMask(f[1]), CompileMask(f[2])};
}

bool SameMasks(const EntryMasks& a, const EntryMasks& b) {
  return a.referrer.kind == b.referrer.kind && a.referrer.core == b.referrer.core && a.url.kind == b.url.kind &&
         a.url.core == b.url.core;
}

// The index keeps the key of a gram, a 32-bit hash of its up to eight bytes:
// two grams with one key share a list, which costs a look at more entries
// but never a wrong answer.
uint32_t GramKey(const char* p, size_t len) {
  uint64_t gram = 0;
  if (len == sizeof gram)
    std::memcpy(&gram, p, sizeof gram);
  else
    for (size_t k = 0; k < len; ++k) gram |= uint64_t{static_cast<unsigned char>(p[k])} << (8 * k);
  return static_cast<uint32_t>((gram * 0x9E3779B97F4A7C15u) >> 32);
}

// A number field; anything but a decimal integer that fits 32 bits reads as 0.
int32_t ParseInt(std::string_view s) {
  int32_t v = 0;
  return TryStrToInt(s, v) ? v : 0;
}

int16_t Low16(int32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v & 0xFFFF)); }

// A text field as a line can hold it: the separator byte becomes a blank.
std::string Storable(std::string_view text) {
  std::string s(text);
  std::replace(s.begin(), s.end(), kSep, ' ');
  return s;
}

[[noreturn]] void RaiseIndexError(int index) {
  throw EListError(Format("List index out of bounds (%d)", {index}));
}

std::string ReadWholeFile(plat::IFile& file) {
  std::string data;
  data.reserve(static_cast<size_t>(file.Size()));
  char buf[1 << 16];
  for (;;) {
    size_t n = file.Read(buf, sizeof buf);
    if (n == 0) break;
    data.append(buf, n);
  }
  return data;
}

// Writes |data| beside |path| and then puts it in the place of the old file
// in one step, so that a crash or a full disk never leaves a half file.
bool WriteFileWhole(const std::string& path, const std::string& data, std::string& error) {
  auto& fs = plat::Files();
  const std::string temp = path + ".tmp";
  auto file = fs.Open(temp, plat::OpenMode::CreateAlways, &error);
  if (!file) return false;
  const bool written = file->Write(data.data(), data.size());
  file.reset();
  if (!written) {
    error = "The file could not be written completely.";
    fs.DeleteFile(temp);
    return false;
  }
  if (!fs.ReplaceFile(temp, path, &error)) {
    fs.DeleteFile(temp);
    return false;
  }
  return true;
}

}  // namespace

bool MatchWinMask(std::string_view mask, std::string_view text) { return Matches(CompileMask(mask), text); }

void ParseWinDescr(std::string_view line, TWinDescr& out) {
  std::string_view f[kFieldCount];
  SplitFields(line, f);
  out.ReservedText.assign(f[0]);
  out.Referrer.assign(f[1]);
  out.URL.assign(f[2]);
  out.Elapsed.assign(f[3]);
  out.Flags = Low16(ParseInt(f[4]));
  out.ReservedNum = Low16(ParseInt(f[5]));
  out.Time = ParseInt(f[6]);
}

std::string FormatWinDescr(const TWinDescr& d) {
  enum { Reserved, Referrer, Url, Elapsed };
  std::string texts[4] = {Storable(d.ReservedText), Storable(d.Referrer), Storable(d.URL), Storable(d.Elapsed)};
  const std::string numbers = Format("%d\001%d\001%d", {int(d.Flags), int(d.ReservedNum), int(d.Time)});
  size_t total = numbers.size() + 4;  // the four separators after the texts
  for (const auto& t : texts) total += t.size();
  // The file keeps a line's length in 15 bits: cut the texts that matter
  // least for matching first so that every entry can be saved.
  for (int k : {Url, Referrer, Elapsed, Reserved}) {
    if (total <= MaxEntryLine) break;
    const size_t cut = std::min(total - MaxEntryLine, texts[k].size());
    texts[k].resize(texts[k].size() - cut);
    total -= cut;
  }
  return Format("%s\001%s\001%s\001%s\001%s",
                {texts[Reserved], texts[Referrer], texts[Url], texts[Elapsed], numbers});
}

std::string SetDescrKind(std::string_view line, int16_t kind) {
  TWinDescr d;
  ParseWinDescr(line, d);
  d.Flags = static_cast<int16_t>((d.Flags & 0x00F9) | kind);
  return FormatWinDescr(d);
}

std::string ListFilePath(const std::string& fileName, bool* fromAutostart) {
  const std::string registered = ReadRegString(RegRoot::CurrentUser, RunKey, AppVersion.ProductName);
  if (fromAutostart) *fromAutostart = !registered.empty();
  // While registered for autostart, every copy of the program shares the
  // lists beside the registered copy.
  // The options window writes a path with blanks in quotes; older values have none.
  if (!registered.empty()) return ExtractFilePath(AutostartProgram(registered)) + fileName;
  return ExeDirFile(fileName);
}

// ---------------------------------------------------------------------------

uint32_t TWinDescrList::GramTable::LastOf(uint32_t key) const {
  if (used == 0) return kNoEntry;
  const size_t mask = slots.size() - 1;
  for (size_t i = key >> shift;; i = (i + 1) & mask) {
    const GramSlot& slot = slots[i];
    if (slot.last == kNoEntry || slot.key == key) return slot.last;
  }
}

void TWinDescrList::GramTable::Reserve(size_t keys) {
  // At most half full, so that the many grams of an address that are not
  // there are told after a probe or two.
  if (2 * keys <= slots.size()) return;
  std::vector<GramSlot> old = std::move(slots);
  slots.assign(std::bit_ceil(std::max<size_t>(16, 2 * keys)), GramSlot{});
  shift = 32 - std::countr_zero(slots.size());
  used = 0;
  for (const GramSlot& slot : old)
    if (slot.last != kNoEntry) LastOrNew(slot.key) = slot.last;
}

uint32_t& TWinDescrList::GramTable::LastOrNew(uint32_t key) {
  if (2 * (used + 1) > slots.size()) Reserve(2 * (used + 1));
  const size_t mask = slots.size() - 1;
  for (size_t i = key >> shift;; i = (i + 1) & mask) {
    GramSlot& slot = slots[i];
    if (slot.last == kNoEntry) {
      slot.key = key;
      ++used;
      return slot.last;
    }
    if (slot.key == key) return slot.last;
  }
}

void TWinDescrList::BuildIndex() const {
  Index& x = index_;
  x = Index();
  const size_t n = lines_.size();
  x.next.assign(n, kNoEntry);
  // About two counters an entry, so that few grams share one.
  x.countShift = 32 - std::countr_zero(std::bit_ceil(std::clamp<size_t>(2 * n, 1024, 1 << 20)));
  x.gramCounts.assign(size_t{1} << (32 - x.countShift), 0);
  for (size_t i = 0; i < n; ++i) CountGrams(LineAt(i));
  // The grams are picked first, so that each table is made its full size at once.
  std::vector<GramChoice> choices;
  choices.reserve(n);
  size_t perTable[2][kGram] = {};
  for (size_t i = 0; i < n; ++i) {
    const GramChoice c = ChooseGram(LineAt(i));
    choices.push_back(c);
    if (c.len == 0) break;  // no later entry can come first
    ++perTable[c.field][c.len - 1];
  }
  for (int field = 0; field < 2; ++field)
    for (size_t len = 1; len <= kGram; ++len) x.grams[field][len - 1].Reserve(perTable[field][len - 1]);
  for (size_t i = 0; i < choices.size(); ++i) FileEntry(i, choices[i]);
  x.built = true;
}

void TWinDescrList::CountGrams(std::string_view line) const {
  const EntryMasks m = MasksOf(line);
  for (const Mask* mask : {&m.referrer, &m.url}) {
    const std::string_view core = mask->core;
    for (size_t i = 0; i + kGram <= core.size(); ++i) {
      uint8_t& count = index_.gramCounts[GramKey(core.data() + i, kGram) >> index_.countShift];
      if (count < UINT8_MAX) ++count;
    }
  }
}

TWinDescrList::GramChoice TWinDescrList::ChooseGram(std::string_view line) const {
  // The rarest eight-byte gram of the two cores, or failing that a whole
  // short core, the longer the better.
  const EntryMasks m = MasksOf(line);
  GramChoice choice;
  uint32_t rarity = UINT32_MAX;
  const Mask* masks[2] = {&m.referrer, &m.url};
  for (uint8_t field = 0; field < 2; ++field) {
    const std::string_view core = masks[field]->core;
    if (masks[field]->kind == kAny) continue;
    if (core.size() < kGram) {
      const uint32_t r = UINT8_MAX + static_cast<uint32_t>(kGram - core.size());  // after any eight-byte gram
      if (r < rarity) {
        rarity = r;
        choice = {GramKey(core.data(), core.size()), field, static_cast<uint8_t>(core.size())};
      }
      continue;
    }
    for (size_t i = 0; i + kGram <= core.size(); ++i) {
      const uint32_t key = GramKey(core.data() + i, kGram);
      const uint32_t r = index_.gramCounts[key >> index_.countShift];
      if (r < rarity) {
        rarity = r;
        choice = {key, field, static_cast<uint8_t>(kGram)};
      }
    }
  }
  return choice;
}

void TWinDescrList::FileEntry(size_t entry, const GramChoice& choice) const {
  Index& x = index_;
  if (entry > x.firstAny) return;  // an entry after one that matches everything never comes first
  const auto e = static_cast<uint32_t>(entry);
  if (choice.len == 0) {
    x.firstAny = e;
    return;
  }
  uint32_t& last = x.grams[choice.field][choice.len - 1].LastOrNew(choice.key);
  if (last == kNoEntry) {
    x.next[e] = e;
  } else {
    // A copy of the entry before it can never come first.
    if (SameMasks(MasksOf(LineAt(e)), MasksOf(LineAt(last)))) return;
    x.next[e] = x.next[last];
    x.next[last] = e;
  }
  last = e;
}

// ---------------------------------------------------------------------------

TWinDescrList::LineSpan TWinDescrList::Store(std::string_view line) {
  if (line.size() > UINT32_MAX - text_.size()) throw EListError("The list is too large");
  const LineSpan span{static_cast<uint32_t>(text_.size()), static_cast<uint32_t>(line.size())};
  text_.append(line);
  return span;
}

void TWinDescrList::Discard(size_t bytes) {
  unusedBytes_ += bytes;
  if (2 * unusedBytes_ <= text_.size()) return;
  std::string packed;
  packed.reserve(text_.size() - unusedBytes_);
  for (LineSpan& span : lines_) {
    const auto start = static_cast<uint32_t>(packed.size());
    packed.append(text_, span.start, span.len);
    span.start = start;
  }
  text_ = std::move(packed);
  unusedBytes_ = 0;
}

void TWinDescrList::Append(std::string_view line) {
  lines_.push_back(Store(line));
  if (!index_.built) return;
  index_.next.push_back(kNoEntry);
  CountGrams(line);
  FileEntry(lines_.size() - 1, ChooseGram(line));
}

void TWinDescrList::CheckIndex(int index, int limit) const {
  if (index < 0 || index >= limit) RaiseIndexError(index);
}

std::string TWinDescrList::Get(int index) const {
  CheckIndex(index, Count());
  return std::string(LineAt(index));
}

void TWinDescrList::Put(int index, const std::string& line) {
  CheckIndex(index, Count());
  // Other fields than the masks (a time, the kind) change without touching the index.
  if (index_.built && !SameMasks(MasksOf(LineAt(index)), MasksOf(line))) index_.built = false;
  LineSpan& span = lines_[index];
  if (line.size() <= span.len) {
    std::memcpy(text_.data() + span.start, line.data(), line.size());
    const size_t freed = span.len - line.size();
    span.len = static_cast<uint32_t>(line.size());
    Discard(freed);
  } else {
    const size_t freed = span.len;
    span = Store(line);
    Discard(freed);
  }
}

void TWinDescrList::Insert(int index, const std::string& line) {
  CheckIndex(index, Count() + 1);
  if (index == Count()) return Append(line);
  lines_.insert(lines_.begin() + index, Store(line));
  index_.built = false;
}

void TWinDescrList::Delete(int index) {
  CheckIndex(index, Count());
  const size_t freed = lines_[index].len;
  lines_.erase(lines_.begin() + index);
  index_.built = false;
  Discard(freed);
}

void TWinDescrList::Move(int from, int to) {
  if (from == to) return;
  CheckIndex(from, Count());
  CheckIndex(to, Count());
  if (from < to)
    std::rotate(lines_.begin() + from, lines_.begin() + from + 1, lines_.begin() + to + 1);
  else
    std::rotate(lines_.begin() + to, lines_.begin() + from, lines_.begin() + from + 1);
  index_.built = false;
}

void TWinDescrList::Clear() {
  text_ = std::string();
  lines_ = std::vector<LineSpan>();
  unusedBytes_ = 0;
  index_ = Index();
}

void TWinDescrList::GetDescr(int index, TWinDescr& out) const {
  CheckIndex(index, Count());
  ParseWinDescr(LineAt(index), out);
}

int TWinDescrList::FindDescr(std::string_view referrer, std::string_view url) const {
  if (!index_.built) BuildIndex();
  Index& x = index_;
  // The lists filed under the grams of the two texts...
  x.hits.clear();
  const std::string_view texts[2] = {referrer, url};
  for (int field = 0; field < 2; ++field) {
    const std::string_view text = texts[field];
    for (size_t len = 1; len <= kGram && len <= text.size(); ++len) {
      const GramTable& table = x.grams[field][len - 1];
      if (table.used == 0) continue;
      for (size_t i = 0; i + len <= text.size(); ++i) {
        const uint32_t last = table.LastOf(GramKey(text.data() + i, len));
        if (last != kNoEntry) x.hits.push_back(last);
      }
    }
  }
  // ...each searched once, in list order, for an entry before the best so far.
  std::sort(x.hits.begin(), x.hits.end());
  x.hits.erase(std::unique(x.hits.begin(), x.hits.end()), x.hits.end());
  uint32_t best = x.firstAny;
  for (const uint32_t last : x.hits) {
    for (uint32_t e = x.next[last]; e < best; e = x.next[e]) {
      const EntryMasks m = MasksOf(LineAt(e));
      if (Matches(m.referrer, referrer) && Matches(m.url, url)) {
        best = e;
        break;
      }
      if (e == last) break;
    }
  }
  return best == kNoEntry ? -1 : static_cast<int>(best);
}

int TWinDescrList::AddDescr(const std::string& reservedText, const std::string& referrer, const std::string& url,
                            const std::string& elapsed, int16_t flags, int16_t reservedNum, int32_t time) {
  Append(FormatWinDescr({reservedText, referrer, url, elapsed, flags, reservedNum, time}));
  Modified = true;
  const int index = Count() - 1;
  if (OnAppend) OnAppend(index);
  return index;
}

void TWinDescrList::ReplaceDescr(int index, const std::string& reservedText, const std::string& referrer,
                                 const std::string& url, const std::string& elapsed, int16_t flags,
                                 int16_t reservedNum, int32_t time) {
  CheckIndex(index, Count());
  Put(index, FormatWinDescr({reservedText, referrer, url, elapsed, flags, reservedNum, time}));
  Modified = true;
}

void TWinDescrList::LoadList(const std::string& fileName) {
  const int32_t now = NowUnixSec();
  int32_t days = ReadRegInteger(RegRoot::CurrentUser, SettingsKey(), "RetentionPeriod");
  if (days == 0) days = 7;
  // 64 bits, so that an absurd period in the registry cannot wrap around.
  const int64_t retention = int64_t{days} * 86400;
  if (fileName.empty()) return;

  bool fromAutostart = false;
  const std::string path = ListFilePath(fileName, &fromAutostart);
  Log.Write(LogAlways, Format(fromAutostart ? "AutoStart: Load From %s" : "Load From %s", {path}), true);

  auto& fs = plat::Files();
  if (!fs.FileExists(path)) return;
  auto file = fs.Open(path, plat::OpenMode::Read);
  if (!file) return;  // unreadable (locked): treated as missing, and never overwritten unasked
  const std::string data = ReadWholeFile(*file);
  file.reset();

  // The allow and close lists are the user's own and are never purged.
  const bool neverPurged = fileName.find("it.") != std::string::npos;
  if (data.size() < 8) return;
  const int32_t count = static_cast<int32_t>(GetLE32(data, 4));  // the version before it is not checked
  size_t pos = 8;
  if (count > 0) {
    // Every record takes at least two bytes, so a false count cannot make us
    // reserve more than the file could hold.
    const size_t most = std::min<size_t>(static_cast<size_t>(count), (data.size() - pos) / 2);
    lines_.reserve(lines_.size() + most);
    text_.reserve(text_.size() + (data.size() - pos));
  }
  for (int32_t r = 0; r < count; ++r) {
    // A file cut short ends the load at the first record that is not whole.
    if (data.size() - pos < 2) break;
    const int16_t len = static_cast<int16_t>(GetLE16(data, pos));
    pos += 2;
    if (len <= 0) continue;
    if (data.size() - pos < static_cast<size_t>(len)) break;
    const std::string_view line(data.data() + pos, static_cast<size_t>(len));
    pos += static_cast<size_t>(len);
    if (!neverPurged) {
      std::string_view f[kFieldCount];
      SplitFields(line, f);
      if (int64_t{ParseInt(f[6])} + retention <= now) {
        Modified = true;  // the next save drops it from the file
        continue;
      }
    }
    lines_.push_back(Store(line));
    index_.built = false;  // built afresh at the next lookup, with the rarity of every gram known
  }
}

void TWinDescrList::SaveList(const std::string& fileName, bool lastSave) {
  if (fileName.empty() || !Modified) return;
  const std::string path = ListFilePath(fileName);
  Log.Write(LogDebug, Format("Save %d Records To %s ", {Count(), path}), true);

  size_t size = 8;
  for (const LineSpan& span : lines_) size += 2 + span.len;
  std::string data;
  data.reserve(size);
  AppendLE32(data, 1);
  AppendLE32(data, static_cast<uint32_t>(Count()));
  for (size_t i = 0; i < lines_.size(); ++i) {
    std::string_view bytes = LineAt(i);
    std::string refit;
    // A line the file cannot hold as it is (a length of 0 or above 32767
    // reads back as no entry) is written as the same entry re-formatted,
    // which fits.
    if (bytes.empty() || bytes.size() > MaxEntryLine) {
      TWinDescr d;
      ParseWinDescr(bytes, d);
      refit = FormatWinDescr(d);
      bytes = refit;
    }
    AppendLE16(data, static_cast<uint16_t>(bytes.size()));
    data.append(bytes);
  }

  std::string error;
  if (WriteFileWhole(path, data, error)) {
    Modified = false;
    saveFailed_ = false;
    return;
  }
  // Modified stays set: the changes are kept and written at the next save.
  // The timer saves every 100 ms, so only the first failure is raised; the
  // last save says it again, as the changes are lost then.
  if (saveFailed_ && !lastSave) return;
  saveFailed_ = true;
  throw EFCreateError(Format("Cannot create file \"%s\". %s", {path, error}));
}
