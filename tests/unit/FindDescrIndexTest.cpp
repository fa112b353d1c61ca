// FindDescr answers from an index; these check it against a plain scan of
// the lines, through every kind of change a list goes through.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ListTestMachine.h"
#include "lists/ClWin.h"

namespace {

// The answer of a plain scan: the first line whose two masks match.
int ScanFind(const std::vector<std::string>& lines, const std::string& referrer, const std::string& url) {
  for (size_t i = 0; i < lines.size(); ++i) {
    TWinDescr d;
    ParseWinDescr(lines[i], d);
    if (MatchWinMask(d.Referrer, referrer) && MatchWinMask(d.URL, url)) return static_cast<int>(i);
  }
  return -1;
}

// Random masks, lines and texts over a few bytes, so that grams repeat, cores
// overlap and texts match often: short and empty cores, stars inside, a byte
// above 127, and masks used again for duplicates.
class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}

  size_t Below(size_t n) { return n ? rng_() % n : 0; }

  std::string Bytes(size_t most) {
    static const char kBytes[] = {'a', 'b', '/', '.', '*', '\xE9'};
    std::string s(Below(most + 1), 'a');
    for (char& c : s) c = kBytes[Below(std::size(kBytes))];
    return s;
  }

  std::string Mask() {
    if (!used_.empty() && Below(4) == 0) return used_[Below(used_.size())];
    const std::string core = Bytes(Below(3) ? 12 : 3);
    std::string m;
    switch (Below(8)) {
      case 0: m = Below(2) ? "" : (Below(2) ? "*" : "**"); break;
      case 1: m = core; break;
      case 2: m = "*" + core; break;
      case 3: m = core + "*"; break;
      default: m = "*" + core + "*"; break;
    }
    used_.push_back(m);
    return m;
  }

  std::string Line() {
    switch (Below(6)) {
      case 0: return Mask() + '\x01' + Mask();                // fewer fields
      case 1: return Mask();                                  // a bare text: only a referrer
      default: return FormatWinDescr({"", Mask(), Mask(), "", 3, 0, static_cast<int32_t>(Below(1000))});
    }
  }

  // A text that a mask may match: its stars filled in, now and then spoilt.
  std::string TextFor(const std::string& mask) {
    std::string t = mask;
    if (!t.empty() && t.front() == '*') t = Bytes(4) + t.substr(1);
    if (!t.empty() && t.back() == '*') t = t.substr(0, t.size() - 1) + Bytes(4);
    if (!t.empty() && Below(4) == 0) t.erase(Below(t.size()), 1);
    return t;
  }
  std::string Text() { return used_.empty() || Below(4) == 0 ? Bytes(16) : TextFor(used_[Below(used_.size())]); }

 private:
  std::mt19937 rng_;
  std::vector<std::string> used_;
};

// A list under test and the plain lines it should hold, changed together.
struct Mirrored {
  TWinDescrList list;
  std::vector<std::string> lines;

  void Put(int i, const std::string& line) {
    list.Put(i, line);
    lines[i] = line;
  }
  void Insert(int i, const std::string& line) {
    list.Insert(i, line);
    lines.insert(lines.begin() + i, line);
  }
  void Delete(int i) {
    list.Delete(i);
    lines.erase(lines.begin() + i);
  }
  void Move(int from, int to) {
    list.Move(from, to);
    const std::string line = lines[from];
    lines.erase(lines.begin() + from);
    lines.insert(lines.begin() + to, line);
  }
  int Count() const { return static_cast<int>(lines.size()); }
};

class FindDescrIndex : public ::testing::Test {
 protected:
  ListTestMachine machine;
};

TEST_F(FindDescrIndex, AnswersAsTheScanThroughEveryChange) {
  Generator gen(7);
  Mirrored m;
  auto some = [&](int n) { return static_cast<int>(gen.Below(static_cast<size_t>(n))); };
  for (int step = 0; step < 6000; ++step) {
    const int n = m.Count();
    switch (gen.Below(16)) {
      case 0:
      case 1: {  // append, as recording a window or adding one by hand
        const std::string referrer = gen.Mask(), url = gen.Mask();
        m.list.AddDescr("", referrer, url, "", 3, 0, step);
        m.lines.push_back(FormatWinDescr({"", referrer, url, "", 3, 0, step}));
        break;
      }
      case 2: m.Insert(n, gen.Line()); break;
      case 3: m.Insert(some(n + 1), gen.Line()); break;
      case 4:
        if (n) m.Put(some(n), gen.Line());
        break;
      case 5:  // the editor: new masks, or only a new time
        if (n) {
          const int i = some(n);
          TWinDescr d;
          ParseWinDescr(m.lines[i], d);
          if (gen.Below(2)) d.URL = gen.Mask();
          m.list.ReplaceDescr(i, d.ReservedText, d.Referrer, d.URL, d.Elapsed, d.Flags, d.ReservedNum, step);
          m.lines[i] = FormatWinDescr({d.ReservedText, d.Referrer, d.URL, d.Elapsed, d.Flags, d.ReservedNum, step});
        }
        break;
      case 6:
        if (n) m.Delete(some(n));
        break;
      case 7:
        if (n) m.Move(some(n), some(n));
        break;
      case 8: {  // the windows' delete: the kept lines close up, then the tail goes
        int removed = 0;
        for (int i = 0; i < n; ++i) {
          if (gen.Below(4) == 0)
            ++removed;
          else if (removed)
            m.Put(i - removed, m.lines[i]);
        }
        for (int k = 0; k < removed; ++k) m.Delete(m.Count() - 1);
        break;
      }
      case 9: {  // the windows' copy from another list, or a drop of it at a row
        int at = gen.Below(2) ? n : some(n + 1);
        for (int k = some(4); k >= 0; --k) m.Insert(at++, SetDescrKind(gen.Line(), 2));
        break;
      }
      case 10:  // the windows' drag of a block within the list
        if (n > 1) {
          const int first = some(n), last = first + some(n - first), delta = some(n) - first;
          const int d = last + delta >= n ? n - 1 - last : delta;
          if (d <= 0)
            for (int i = first; i <= last; ++i) m.Move(i, i + d);
          else
            for (int i = last; i >= first; --i) m.Move(i, i + d);
        }
        break;
      case 11: {  // loading a file appends its entries
        TWinDescrList file;
        for (int k = some(20); k >= 0; --k) file.Insert(0, gen.Line());
        file.Modified = true;
        file.SaveList("closeit.ppe");
        m.list.LoadList("closeit.ppe");
        for (int i = 0; i < file.Count(); ++i)
          m.lines.push_back(file.Get(i).empty() ? FormatWinDescr({}) : file.Get(i));  // an empty line is refitted
        break;
      }
      case 12:
        if (gen.Below(30) == 0) {
          m.list.Clear();
          m.lines.clear();
        }
        break;
      default: break;  // lookups only, on an index left as it is
    }
    ASSERT_EQ(m.list.Count(), m.Count()) << "step " << step;
    if (step % 100 == 0) {
      for (int i = 0; i < m.Count(); ++i) ASSERT_EQ(m.list.Get(i), m.lines[i]) << "step " << step << " line " << i;
    }
    for (int k = 0; k < 3; ++k) {
      const std::string referrer = gen.Text(), url = gen.Text();
      ASSERT_EQ(m.list.FindDescr(referrer, url), ScanFind(m.lines, referrer, url))
          << "step " << step << " referrer '" << referrer << "' url '" << url << "'";
    }
  }
}

TEST(FindDescrIndexEdges, ListsThatAreHardOnAnIndex) {
  const std::string longCore(40000, 'x');
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> masks;  // referrer, URL
    int copies;                                              // of the masks, one after another
    std::vector<std::pair<std::string, std::string>> lookups;
  } cases[] = {
      {"empty list", {}, 0, {{"", ""}, {"a", "b"}}},
      {"identical entries", {{"*", "*ad.example/banner*"}}, 100000,
       {{"r", "http://ad.example/banner1"}, {"r", "http://ad.example/bann"}, {"r", "ad.example/banner"}}},
      {"identical entries the referrer rules out", {{"http://ref.example/*", "*banner*"}}, 100000,
       {{"http://other.example/", "x/banner/y"}, {"http://ref.example/a", "x/banner/y"}}},
      {"every mask *", {{"*", "*"}}, 1000, {{"", ""}, {"a", "b"}}},
      {"core longer than the address", {{"*", "*" + longCore + "*"}, {longCore, "*"}, {"*", "x*"}}, 1,
       {{"r", "xxxx"}, {longCore, "u"}, {"r", longCore + "y"}}},
      {"bytes above 127", {{"*", "*\xE9t\xE9\xFF*"}, {"*", "\xFF\xFE*"}, {"*", "*\x80"}}, 1,
       {{"", "caf\xE9t\xE9\xFF"}, {"", "\xFF\xFEz"}, {"", "z\x80"}, {"", "\xE9t\xE9"}}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> lines;
    TWinDescrList list;
    for (const auto& [referrer, url] : c.masks)
      for (int k = 0; k < c.copies; ++k) {
        list.AddDescr("", referrer, url, "", 1, 0, 0);
        lines.push_back(list.Get(list.Count() - 1));
      }
    for (const auto& [referrer, url] : c.lookups)
      EXPECT_EQ(list.FindDescr(referrer, url), ScanFind(lines, referrer, url)) << c.what << ": " << url.substr(0, 40);
    if (lines.empty()) continue;
    // Once the first entry is gone the next copy answers in its place.
    list.Delete(0);
    lines.erase(lines.begin());
    for (const auto& [referrer, url] : c.lookups)
      EXPECT_EQ(list.FindDescr(referrer, url), ScanFind(lines, referrer, url)) << c.what << ", first deleted";
  }
}

}  // namespace
