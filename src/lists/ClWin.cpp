#include "lists/ClWin.h"

#include <algorithm>
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
  size_t start, len;  // the core: the mask without its leading and trailing star
  MaskKind kind;
};

Mask CompileMask(std::string_view mask) {
  if (mask.empty() || mask == "*") return {0, 0, kAny};  // as if it were "**"
  const bool lead = mask.front() == '*';
  size_t start = lead ? 1 : 0;
  size_t end = mask.size();
  const bool trail = end > start && mask[end - 1] == '*';
  if (trail) --end;
  MaskKind kind = kEquals;
  if (lead && trail)
    kind = end == start ? kAny : kContains;
  else if (lead)
    kind = kEndsWith;
  else if (trail)
    kind = kStartsWith;
  return {start, end - start, kind};
}

// A 64-bit summary of the byte pairs in a text. A mask's core can only match
// a text that contains all of the core's pairs, so comparing summaries rules
// out most entries of a lookup without reading their lines.
uint64_t PairSummary(std::string_view s) {
  uint64_t sum = 0;
  for (size_t i = 1; i < s.size(); ++i) {
    const uint32_t pair = static_cast<uint32_t>(static_cast<unsigned char>(s[i - 1]) << 8 | static_cast<unsigned char>(s[i]));
    sum |= uint64_t{1} << ((pair * 0x9E3779B1u) >> 26);
  }
  return sum;
}

bool MatchCore(MaskKind kind, std::string_view core, std::string_view text) {
  switch (kind) {
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

// The seven fields of an entry line: field k runs up to the k-th separator
// (the last one present runs to the end of the line); missing fields are
// empty and anything after a seventh separator is ignored.
void SplitFields(std::string_view line, std::string_view (&fields)[kFieldCount]) {
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

bool MatchWinMask(std::string_view mask, std::string_view text) {
  const Mask m = CompileMask(mask);
  return MatchCore(m.kind, mask.substr(m.start, m.len), text);
}

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

TWinDescrList::LineMasks TWinDescrList::MasksOf(std::string_view line) {
  // Only the referrer (second) and URL (third) fields are needed.
  const size_t refStart = std::min(line.find(kSep), line.size()) + 1;
  size_t refEnd = refStart <= line.size() ? std::min(line.find(kSep, refStart), line.size()) : line.size();
  const size_t urlStart = refEnd + 1;
  size_t urlEnd = urlStart <= line.size() ? std::min(line.find(kSep, urlStart), line.size()) : line.size();
  auto span = [&](size_t start, size_t end) {
    MaskSpan s;
    if (start >= end) return s;  // empty or missing field: matches everything
    const Mask m = CompileMask(line.substr(start, end - start));
    s.start = static_cast<uint32_t>(start + m.start);
    s.len = static_cast<uint32_t>(m.len);
    s.kind = m.kind;
    s.pairs = PairSummary(line.substr(s.start, s.len));
    return s;
  };
  return {span(refStart, refEnd), span(urlStart, urlEnd)};
}

bool TWinDescrList::Matches(const MaskSpan& mask, const std::string& line, std::string_view text,
                            uint64_t textPairs) {
  if (mask.kind == kAny) return true;  // the common "*" costs no look at the line
  if (mask.pairs & ~textPairs) return false;
  return MatchCore(static_cast<MaskKind>(mask.kind), std::string_view(line).substr(mask.start, mask.len), text);
}

void TWinDescrList::CheckIndex(int index, int limit) const {
  if (index < 0 || index >= limit) RaiseIndexError(index);
}

const std::string& TWinDescrList::Get(int index) const {
  CheckIndex(index, Count());
  return lines_[index];
}

void TWinDescrList::Put(int index, const std::string& line) {
  CheckIndex(index, Count());
  lines_[index] = line;
  masks_[index] = MasksOf(line);
}

void TWinDescrList::Insert(int index, const std::string& line) {
  CheckIndex(index, Count() + 1);
  masks_.insert(masks_.begin() + index, MasksOf(line));
  lines_.insert(lines_.begin() + index, line);
}

void TWinDescrList::Delete(int index) {
  CheckIndex(index, Count());
  lines_.erase(lines_.begin() + index);
  masks_.erase(masks_.begin() + index);
}

void TWinDescrList::Move(int from, int to) {
  if (from == to) return;
  CheckIndex(from, Count());
  CheckIndex(to, Count());
  auto shift = [&](auto& v) {
    if (from < to)
      std::rotate(v.begin() + from, v.begin() + from + 1, v.begin() + to + 1);
    else
      std::rotate(v.begin() + to, v.begin() + from, v.begin() + from + 1);
  };
  shift(lines_);
  shift(masks_);
}

void TWinDescrList::Clear() {
  lines_.clear();
  masks_.clear();
}

void TWinDescrList::GetDescr(int index, TWinDescr& out) const { ParseWinDescr(Get(index), out); }

int TWinDescrList::FindDescr(std::string_view referrer, std::string_view url) const {
  const size_t n = lines_.size();
  const uint64_t referrerPairs = PairSummary(referrer), urlPairs = PairSummary(url);
  for (size_t i = 0; i < n; ++i) {
    const LineMasks& m = masks_[i];
    if (Matches(m.referrer, lines_[i], referrer, referrerPairs) && Matches(m.url, lines_[i], url, urlPairs))
      return static_cast<int>(i);
  }
  return -1;
}

int TWinDescrList::AddDescr(const std::string& reservedText, const std::string& referrer, const std::string& url,
                            const std::string& elapsed, int16_t flags, int16_t reservedNum, int32_t time) {
  const std::string line = FormatWinDescr({reservedText, referrer, url, elapsed, flags, reservedNum, time});
  masks_.push_back(MasksOf(line));
  lines_.push_back(line);
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
    masks_.reserve(masks_.size() + most);
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
    masks_.push_back(MasksOf(line));
    lines_.emplace_back(line);
  }
}

void TWinDescrList::SaveList(const std::string& fileName, bool lastSave) {
  if (fileName.empty() || !Modified) return;
  const std::string path = ListFilePath(fileName);
  Log.Write(LogDebug, Format("Save %d Records To %s ", {Count(), path}), true);

  size_t size = 8;
  for (const auto& line : lines_) size += 2 + line.size();
  std::string data;
  data.reserve(size);
  AppendLE32(data, 1);
  AppendLE32(data, static_cast<uint32_t>(Count()));
  for (const auto& line : lines_) {
    std::string_view bytes = line;
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
