#include "lists/ClWin.h"

#include <gtest/gtest.h>

#include "FaultyFiles.h"
#include "ListTestMachine.h"
#include "base/Exceptions.h"
#include "lists/ListUtils.h"

namespace {

std::string Line(std::initializer_list<std::string_view> fields) {
  std::string s;
  bool first = true;
  for (auto f : fields) {
    if (!first) s += '\x01';
    s += f;
    first = false;
  }
  return s;
}

std::string LE32(uint32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
  return s;
}

std::string LE16(uint16_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }

std::string Record(const std::string& line) { return LE16(static_cast<uint16_t>(line.size())) + line; }

std::string FileOf(int32_t count, const std::string& records) { return LE32(1) + LE32(count) + records; }

std::vector<std::string> Lines(const TWinDescrList& list) {
  std::vector<std::string> v;
  for (int i = 0; i < list.Count(); ++i) v.push_back(list.Get(i));
  return v;
}

bool LogHas(ListTestMachine& m, const std::string& text) {
  for (const auto& l : m.LogLines())
    if (l.find(text) != std::string::npos) return true;
  return false;
}

}  // namespace

TEST(WinMask, Rule) {
  struct Case {
    const char* mask;
    const char* text;
    bool want;
  } cases[] = {
      {"", "", true},          {"", "anything", true},   {"*", "", true},
      {"*", "x", true},        {"**", "", true},         {"**", "abc", true},
      {"*b", "abab", true},    {"*abc", "xy", false},    {"*b", "abba", false},
      {"ab*", "abc", true},    {"ab*", "cab", false},    {"ab*", "ab", true},
      {"Ab", "ab", false},     {"ab", "ab", true},       {"ab", "abc", false},
      {"*ad*", "load", true},  {"*ad*", "AD", false},    {"*ad*", "a", false},
      {"*.gif", "x.gif", true}, {"*.gif", "x.gifs", false}, {"ads/*", "ads/x", true},
      {"***", "a*b", true},    {"***", "ab", false},     {"a*b", "a*b", true},
      {"a*b", "axb", false},   {"*a*b*", "xa*by", true}, {"*a*b*", "xaby", false},
  };
  for (const auto& c : cases) EXPECT_EQ(MatchWinMask(c.mask, c.text), c.want) << c.mask << " / " << c.text;
}

TEST(WinDescr, ParseReadsFieldsAsTheyStand) {
  struct Case {
    std::string line;
    TWinDescr want;
  } cases[] = {
      {Line({"", "*", "*/popup/*", "", "3", "0", "86400"}), {"", "*", "*/popup/*", "", 3, 0, 86400}},
      {Line({"r", "ref", "url"}), {"r", "ref", "url", "", 0, 0, 0}},  // fewer fields
      {"", {"", "", "", "", 0, 0, 0}},
      {Line({"", "a", "b", "e", "x1", "-", "12a"}), {"", "a", "b", "e", 0, 0, 0}},  // not numbers
      {Line({"", "a", "b", "", "65539", "40000", "-7"}), {"", "a", "b", "", 3, -25536, -7}},  // low 16 bits
      {Line({"", "a", "b", "", "+5", "1", "2147483648"}), {"", "a", "b", "", 5, 1, 0}},  // beyond 32 bits
      {Line({"", "a", "b", "", "1", "2", "3", "extra", "more"}), {"", "a", "b", "", 1, 2, 3}},
  };
  for (const auto& c : cases) {
    TWinDescr d;
    d.Referrer = "stale";
    d.Time = 99;
    ParseWinDescr(c.line, d);
    EXPECT_EQ(d.ReservedText, c.want.ReservedText);
    EXPECT_EQ(d.Referrer, c.want.Referrer);
    EXPECT_EQ(d.URL, c.want.URL);
    EXPECT_EQ(d.Elapsed, c.want.Elapsed);
    EXPECT_EQ(d.Flags, c.want.Flags);
    EXPECT_EQ(d.ReservedNum, c.want.ReservedNum);
    EXPECT_EQ(d.Time, c.want.Time);
  }
}

TEST(WinDescr, FormatWritesTheLineAndParsesBack) {
  const std::string line = FormatWinDescr({"", "*", "*/popup/*", "", 3, 0, 86400});
  EXPECT_EQ(line, std::string("\x01*\x01*/popup/*\x01\x01") + "3\x01" "0\x01" "86400");
  for (const std::string& l : {line, Line({"", "", "", "", "0", "0", "0"}), Line({"x", "r", "u", "04:250 sec.", "-1", "-32768", "-5"})}) {
    TWinDescr d;
    ParseWinDescr(l, d);
    EXPECT_EQ(FormatWinDescr(d), l);
  }
}

TEST(WinDescr, FormatMakesTextsStorable) {
  // The separator byte inside a text would shift every later field.
  const std::string line = FormatWinDescr({"a\x01", "r\x01x", "u\x01\x01", "\x01", 1, 0, 5});
  TWinDescr d;
  ParseWinDescr(line, d);
  EXPECT_EQ(d.ReservedText, "a ");
  EXPECT_EQ(d.Referrer, "r x");
  EXPECT_EQ(d.URL, "u  ");
  EXPECT_EQ(d.Elapsed, " ");
  EXPECT_EQ(d.Flags, 1);
  EXPECT_EQ(d.Time, 5);

  // Too long for a file: the URL is cut first, then the referrer, then the rest.
  const std::string numbers = "1\x01" "0\x01" "5";
  const size_t room = MaxEntryLine - 4 - numbers.size();  // for the four texts
  struct Case {
    size_t reserved, referrer, url, elapsed;
    size_t wantReserved, wantReferrer, wantUrl, wantElapsed;
  } cases[] = {
      {0, 10, room - 10, 0, 0, 10, room - 10, 0},      // fits exactly: untouched
      {0, 10, room, 0, 0, 10, room - 10, 0},           // URL shortened
      {0, 100, 40000, 0, 0, 100, room - 100, 0},
      {3, 40000, 50, 20, 3, room - 23, 0, 20},          // URL gone, then the referrer
      {40000, 5, 5, 40000, room, 0, 0, 0},              // then elapsed, then reserved
  };
  for (const auto& c : cases) {
    TWinDescr in{std::string(c.reserved, 'R'), std::string(c.referrer, 'F'), std::string(c.url, 'U'),
                 std::string(c.elapsed, 'E'), 1, 0, 5};
    const std::string out = FormatWinDescr(in);
    EXPECT_LE(out.size(), MaxEntryLine);
    ParseWinDescr(out, d);
    EXPECT_EQ(d.ReservedText.size(), c.wantReserved);
    EXPECT_EQ(d.Referrer.size(), c.wantReferrer);
    EXPECT_EQ(d.URL.size(), c.wantUrl);
    EXPECT_EQ(d.Elapsed.size(), c.wantElapsed);
    EXPECT_EQ(d.Flags, 1);
    EXPECT_EQ(d.Time, 5);
  }
}

TEST(WinDescr, SetDescrKindReplacesKindBitsOnly) {
  const std::string line = Line({"rt", "ref", "url", "el", "-245", "7", "123"});  // -245 = 0xFF0B
  TWinDescr d;
  ParseWinDescr(SetDescrKind(line, 2), d);
  EXPECT_EQ(d.Flags, 0x0B);  // bits 0 and 3 kept, kind 2 in bits 1-2 (already set), bits 8-15 cleared
  ParseWinDescr(SetDescrKind(line, 0), d);
  EXPECT_EQ(d.Flags, 0x09);
  EXPECT_EQ(d.ReservedText, "rt");
  EXPECT_EQ(d.Referrer, "ref");
  EXPECT_EQ(d.URL, "url");
  EXPECT_EQ(d.Elapsed, "el");
  EXPECT_EQ(d.ReservedNum, 7);
  EXPECT_EQ(d.Time, 123);
}

TEST(WinDescrList, FindDescrTakesTheFirstEntryWhereBothMasksMatch) {
  TWinDescrList list;
  list.AddDescr("", "http://a.example/*", "*", "", 3, 0, 0);
  list.AddDescr("", "*", "*.gif", "", 3, 0, 0);
  list.AddDescr("", "*", "*ads*", "", 3, 0, 0);
  list.AddDescr("", "*", "*", "", 3, 0, 0);
  EXPECT_EQ(list.FindDescr("http://a.example/x", "http://b.example/"), 0);
  EXPECT_EQ(list.FindDescr("http://c.example/", "http://b.example/ads/x.gif"), 1);
  EXPECT_EQ(list.FindDescr("http://c.example/", "http://ads.example/"), 2);
  EXPECT_EQ(list.FindDescr("", ""), 3);
  list.Delete(3);
  EXPECT_EQ(list.FindDescr("http://c.example/", "http://b.example/"), -1);
  EXPECT_EQ(list.FindDescr("http://a.example", "http://b.example/"), -1);  // referrer mask needs the slash
}

TEST(WinDescrList, IndexOutsideTheListIsAnError) {
  TWinDescrList list;
  list.AddDescr("", "r", "u", "", 1, 0, 0);
  TWinDescr d;
  EXPECT_THROW(list.Get(1), EListError);
  EXPECT_THROW(list.Get(-1), EListError);
  EXPECT_THROW(list.GetDescr(1, d), EListError);
  EXPECT_THROW(list.ReplaceDescr(1, "", "r", "u", "", 1, 0, 0), EListError);
  EXPECT_THROW(list.Put(1, "x"), EListError);
  EXPECT_THROW(list.Insert(2, "x"), EListError);
  EXPECT_THROW(list.Delete(1), EListError);
  EXPECT_THROW(list.Move(0, 1), EListError);
  list.Insert(1, "x");  // at the end is allowed
  EXPECT_EQ(list.Count(), 2);
}

TEST(WinDescrList, AddAndReplaceMarkTheListModified) {
  TWinDescrList list;
  int appended = -2;
  list.OnAppend = [&](int index) { appended = index; };
  list.Insert(0, "x");
  EXPECT_FALSE(list.Modified);  // raw line operations leave the flag to their callers
  EXPECT_EQ(list.AddDescr("", "r", "u", "e", 3, 0, 9), 1);
  EXPECT_TRUE(list.Modified);
  EXPECT_EQ(appended, 1);
  list.Modified = false;
  list.ReplaceDescr(0, "", "r2", "u2", "", 1, 0, 10);
  EXPECT_TRUE(list.Modified);
  EXPECT_EQ(list.Get(0), FormatWinDescr({"", "r2", "u2", "", 1, 0, 10}));
}

class ListFiles : public ::testing::Test {
 protected:
  ListTestMachine machine;
  std::string Path(const std::string& name) { return machine.ProgramDir() + name; }
};

TEST_F(ListFiles, SaveWritesTheFormatAndOnlyWhenModified) {
  TWinDescrList list;
  list.SaveList("closed.ppe");
  EXPECT_FALSE(machine.Exists(Path("closed.ppe")));
  EXPECT_FALSE(LogHas(machine, "Save "));

  list.Modified = true;
  list.SaveList("");  // no file name: nothing
  EXPECT_TRUE(list.Modified);
  list.SaveList("closed.ppe");
  EXPECT_EQ(machine.ReadFile(Path("closed.ppe")), std::string("\x01\0\0\0\0\0\0\0", 8));
  EXPECT_FALSE(list.Modified);

  list.AddDescr("", "*", "*/popup/*", "", 3, 0, 86400);
  list.AddDescr("", "r", "u", "", 1, 0, -1);
  list.SaveList("closed.ppe");
  const std::string l1 = Line({"", "*", "*/popup/*", "", "3", "0", "86400"});
  const std::string l2 = Line({"", "r", "u", "", "1", "0", "-1"});
  EXPECT_EQ(machine.ReadFile(Path("closed.ppe")), FileOf(2, Record(l1) + Record(l2)));
  EXPECT_FALSE(machine.Exists(Path("closed.ppe.tmp")));

  // Debug mode shows the save line.
  Log.Mask = LogAll;
  list.Modified = true;
  list.SaveList("closed.ppe");
  EXPECT_TRUE(LogHas(machine, "Save 2 Records To " + Path("closed.ppe") + " "));
}

TEST_F(ListFiles, LinesTheFileCannotHoldAreWrittenRefitted) {
  TWinDescrList list;
  const std::string longUrl(40000, 'u');
  list.Insert(0, Line({"", "*", longUrl, "", "1", "0", "7"}));  // put in raw, too long
  list.Insert(1, "");                                           // an empty line matches everything
  list.Insert(2, Line({"", "keep", "me", "", "1", "0", "7"}));
  list.Modified = true;
  list.SaveList("closeit.ppe");

  TWinDescrList back;
  back.LoadList("closeit.ppe");
  ASSERT_EQ(back.Count(), 3);
  EXPECT_LE(back.Get(0).size(), MaxEntryLine);
  TWinDescr d;
  back.GetDescr(0, d);
  EXPECT_EQ(d.Referrer, "*");
  EXPECT_EQ(d.URL, std::string(d.URL.size(), 'u'));
  EXPECT_EQ(d.Time, 7);
  EXPECT_EQ(back.FindDescr("any", "thing"), 1);
  back.Delete(0);
  EXPECT_EQ(back.FindDescr("any", "thing"), 0);  // the empty line still matches everything
  EXPECT_EQ(back.Get(1), list.Get(2));
  EXPECT_EQ(list.Get(0).size(), 40000 + 10u);  // the list itself is left as it was
}

TEST_F(ListFiles, LoadKeepsFileOrderAndDropsOldClosedEntries) {
  const int32_t now = 1772442000;
  machine.SetNow(UnixSecToDateTime(now));
  const int32_t week = 7 * 86400;
  const std::string fresh = Line({"", "r1", "u1", "", "1", "0", std::to_string(now - week + 1)});
  const std::string edge = Line({"", "r2", "u2", "", "1", "0", std::to_string(now - week)});
  const std::string old = Line({"", "r3", "u3", "", "1", "0", "5"});
  const std::string later = Line({"", "r4", "u4", "", "1", "0", std::to_string(now + 100)});
  const std::string file = FileOf(4, Record(fresh) + Record(edge) + Record(old) + Record(later));
  machine.WriteFile(Path("closed.ppe"), file);
  machine.WriteFile(Path("closeit.ppe"), file);

  TWinDescrList closed;
  closed.LoadList("closed.ppe");  // no retention set: a week
  EXPECT_EQ(Lines(closed), (std::vector<std::string>{fresh, later}));
  EXPECT_TRUE(closed.Modified);
  EXPECT_TRUE(LogHas(machine, "Load From " + Path("closed.ppe")));

  TWinDescrList closeIt;
  closeIt.LoadList("closeit.ppe");  // the user's own list is never purged
  EXPECT_EQ(Lines(closeIt), (std::vector<std::string>{fresh, edge, old, later}));
  EXPECT_FALSE(closeIt.Modified);

  machine.SetRetentionDays(1);
  TWinDescrList day;
  day.LoadList("closed.ppe");
  EXPECT_EQ(Lines(day), (std::vector<std::string>{later}));

  machine.SetRetentionDays(0);  // as unset: a week
  TWinDescrList zero;
  zero.LoadList("closed.ppe");
  EXPECT_EQ(zero.Count(), 2);

  // The purged file is rewritten without the old entries.
  closed.SaveList("closed.ppe");
  EXPECT_EQ(machine.ReadFile(Path("closed.ppe")), FileOf(2, Record(fresh) + Record(later)));
}

TEST_F(ListFiles, AutostartEntryDecidesWhereTheListsLie) {
  machine.WriteFile("C:\\Other\\allowit.ppe", FileOf(1, Record(Line({"", "a", "b", "", "3", "0", "1"}))));
  machine.SetAutostart("C:\\Other\\Ondrel.exe");
  bool fromAutostart = false;
  EXPECT_EQ(ListFilePath("allowit.ppe", &fromAutostart), "C:\\Other\\allowit.ppe");
  EXPECT_TRUE(fromAutostart);
  TWinDescrList list;
  list.LoadList("allowit.ppe");
  EXPECT_EQ(list.Count(), 1);
  EXPECT_TRUE(LogHas(machine, "AutoStart: Load From C:\\Other\\allowit.ppe"));

  machine.SetAutostart("");
  EXPECT_EQ(ListFilePath("allowit.ppe", &fromAutostart), Path("allowit.ppe"));
  EXPECT_FALSE(fromAutostart);
}

TEST_F(ListFiles, DamagedFilesLoadWhatIsWhole) {
  const std::string a = Line({"", "a", "1", "", "3", "0", "1"});
  const std::string b = Line({"", "b", "2", "", "3", "0", "1"});
  const std::string two = Record(a) + Record(b);
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::string> want;
  } cases[] = {
      {"empty file", "", {}},
      {"3 bytes", std::string("\x01\0\0", 3), {}},
      {"7 bytes", std::string("\x01\0\0\0\x05\0\0", 7), {}},
      {"no records", FileOf(0, ""), {}},
      {"negative count", FileOf(-3, two), {}},
      {"count beyond the file", FileOf(0x7FFFFFFF, two), {a, b}},
      {"cut inside a line", FileOf(2, two.substr(0, two.size() - 3)), {a}},
      {"cut inside a length", FileOf(3, two + "\x05"), {a, b}},
      {"length 0 and negative lengths", FileOf(4, Record(a) + LE16(0) + LE16(0xFFFB) + Record(b)), {a, b}},
      {"count below the records", FileOf(1, two), {a}},
  };
  for (const auto& c : cases) {
    machine.WriteFile(Path("closeit.ppe"), c.bytes);
    TWinDescrList list;
    list.LoadList("closeit.ppe");
    EXPECT_EQ(Lines(list), c.want) << c.what;
    EXPECT_FALSE(list.Modified) << c.what;
  }
  TWinDescrList missing;
  missing.LoadList("browsed.ppe");
  EXPECT_EQ(missing.Count(), 0);

  // A file another program holds is left alone, as if it were missing.
  machine.WriteFile(Path("closeit.ppe"), FileOf(2, two));
  machine.LockFile(Path("closeit.ppe"));
  TWinDescrList locked;
  EXPECT_NO_THROW(locked.LoadList("closeit.ppe"));
  EXPECT_EQ(locked.Count(), 0);
  EXPECT_FALSE(locked.Modified);
}

TEST_F(ListFiles, FailedSaveKeepsTheOldFileAndTheChanges) {
  TWinDescrList list;
  list.AddDescr("", "old", "entry", "", 1, 0, 1);
  list.SaveList("closeit.ppe");

  FaultyFiles files;
  for (auto fault : {FaultyFiles::Fault::Write, FaultyFiles::Fault::Replace, FaultyFiles::Fault::Create}) {
    const std::string before = machine.ReadFile(Path("closeit.ppe"));
    list.AddDescr("", "new", "entry", "", 1, 0, list.Count());
    files.fault = fault;
    try {
      list.SaveList("closeit.ppe");
      ADD_FAILURE() << "a failed save must be reported";
    } catch (const EFCreateError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + Path("closeit.ppe") + "\". ", 0), 0u) << e.what();
    }
    EXPECT_TRUE(list.Modified);
    EXPECT_EQ(machine.ReadFile(Path("closeit.ppe")), before);
    EXPECT_FALSE(machine.Exists(Path("closeit.ppe.tmp")));

    // The timer saves again and again: later failures stay quiet.
    EXPECT_NO_THROW(list.SaveList("closeit.ppe"));
    EXPECT_TRUE(list.Modified);

    // Once the fault is gone the next save writes the changes, and a new
    // failure after that is reported again (next round).
    files.fault = FaultyFiles::Fault::None;
    list.SaveList("closeit.ppe");
    EXPECT_FALSE(list.Modified);
    TWinDescrList back;
    back.LoadList("closeit.ppe");
    EXPECT_EQ(back.Count(), list.Count());
  }
}
