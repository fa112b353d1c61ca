#include "lists/RunLists.h"

#include <gtest/gtest.h>

#include "FaultyFiles.h"
#include "ListTestMachine.h"
#include "base/Exceptions.h"
#include "lists/ListUtils.h"
#include "settings/LiveSettings.h"
#include "settings/LogFile.h"

namespace {

std::string OneEntryFile(const std::string& referrer) {
  const std::string line = FormatWinDescr({"", referrer, "u", "", 1, 0, 2000000000});
  std::string s("\x01\0\0\0\x01\0\0\0", 8);
  s += static_cast<char>(line.size());
  s += '\0';
  return s + line;
}

// Positions in the log of lines containing each text, in the order given;
// -1 for a text not found.
std::vector<int> LogPositions(ListTestMachine& m, std::initializer_list<std::string> texts) {
  const auto lines = m.LogLines();
  std::vector<int> at;
  for (const auto& t : texts) {
    int found = -1;
    for (size_t i = 0; i < lines.size() && found < 0; ++i)
      if (lines[i].find(t) != std::string::npos) found = static_cast<int>(i);
    at.push_back(found);
  }
  return at;
}

bool Ascending(const std::vector<int>& v) {
  for (size_t i = 0; i < v.size(); ++i)
    if (v[i] < 0 || (i && v[i] <= v[i - 1])) return false;
  return true;
}

class RunLists : public ::testing::Test {
 protected:
  ListTestMachine machine;
  TSettings savedSettings = Settings;
  ~RunLists() override {
    FreeAllLists();
    Settings = savedSettings;
  }
  std::string Path(const std::string& name) { return machine.ProgramDir() + name; }
};

}  // namespace

TEST(ElapsedText, SecondsBelowAMinute) {
  struct Case {
    double seconds;
    const char* want;
  } cases[] = {
      {0, ""},
      {4.25, "04:250 sec."},
      {30, "30:000 sec."},
      {-4.25, "04:250 sec."},  // the figures of the absolute value
      {59.5, "59:500 sec."},
      {60, "> 1 min."},
      {120, "> 1 min."},
      {46083.0 * 86400, "> 1 min."},  // no click yet: many years
  };
  for (const auto& c : cases) EXPECT_EQ(ElapsedText(c.seconds * kSecond), c.want) << c.seconds;
}

TEST_F(RunLists, LoadAllListsReadsEachFileInOrder) {
  machine.SetNow(UnixSecToDateTime(1900000000));
  for (const char* name : {"closeit.ppe", "allowit.ppe", "closed.ppe", "browsed.ppe"})
    machine.WriteFile(Path(name), OneEntryFile(name));
  LoadAllLists();
  ASSERT_TRUE(CloseList && AllowList && ClosedList && BrowsedList);
  TWinDescr d;
  for (TWinDescrList* list : {CloseList, AllowList, ClosedList, BrowsedList}) {
    ASSERT_EQ(list->Count(), 1);
    list->GetDescr(0, d);
    EXPECT_EQ(d.Referrer, ListFileName(list));
  }
  EXPECT_TRUE(Ascending(LogPositions(machine, {"Load From " + Path("closeit.ppe"), "Load From " + Path("allowit.ppe"),
                                               "Load From " + Path("browsed.ppe"), "Load From " + Path("closed.ppe")})));
  EXPECT_EQ(ListFileName(nullptr), "");
  TWinDescrList other;
  EXPECT_EQ(ListFileName(&other), "");

  FreeAllLists();
  EXPECT_EQ(CloseList, nullptr);
  EXPECT_EQ(BrowsedList, nullptr);
}

TEST_F(RunLists, SaveAllListsSavesTheRestWhenOneFails) {
  LoadAllLists();
  Log.Mask = LogAll;
  for (TWinDescrList* list : {CloseList, AllowList, ClosedList, BrowsedList}) list->AddDescr("", "r", "u", "", 1, 0, 1);
  {
    FaultyFiles files;
    files.fault = FaultyFiles::Fault::Create;
    files.onlyPathsWith = "closeit";
    EXPECT_THROW(SaveAllLists(), EFCreateError);
  }
  EXPECT_TRUE(CloseList->Modified);
  for (TWinDescrList* list : {AllowList, ClosedList, BrowsedList}) {
    EXPECT_FALSE(list->Modified);
    EXPECT_TRUE(machine.Exists(Path(ListFileName(list))));
  }
  EXPECT_TRUE(Ascending(LogPositions(machine, {"To " + Path("closeit.ppe"), "To " + Path("allowit.ppe"),
                                               "To " + Path("closed.ppe"), "To " + Path("browsed.ppe")})));
  SaveAllLists();  // the fault is gone: the close list is written now
  EXPECT_FALSE(CloseList->Modified);
  EXPECT_TRUE(machine.Exists(Path("closeit.ppe")));
}

TEST_F(RunLists, AddListEntryHonoursTheRecordingSwitches) {
  LoadAllLists();
  const int32_t now = 1800000000;
  machine.SetNow(UnixSecToDateTime(now));
  int appended = -1;
  ClosedList->OnAppend = [&](int index) { appended = index; };

  Settings.EnableClosedList = false;
  Settings.EnableBrowsedList = false;
  AddListEntry(ClosedList, "ref", "url", 1, 4.25 * kSecond);
  AddListEntry(BrowsedList, "ref", "url", 3, 0);
  EXPECT_EQ(ClosedList->Count(), 0);
  EXPECT_EQ(BrowsedList->Count(), 0);
  EXPECT_FALSE(ClosedList->Modified);
  EXPECT_FALSE(BrowsedList->Modified);
  EXPECT_EQ(appended, -1);

  AddListEntry(AllowList, "*", "*/popup/*", 3, 0);  // the user's lists always take entries
  AddListEntry(CloseList, "*", "*ads*", 1, 0);
  EXPECT_EQ(AllowList->Count(), 1);
  EXPECT_EQ(CloseList->Count(), 1);

  Settings.EnableClosedList = true;
  AddListEntry(ClosedList, "ref", "url", 1, 4.25 * kSecond);
  ASSERT_EQ(ClosedList->Count(), 1);
  EXPECT_TRUE(ClosedList->Modified);
  EXPECT_EQ(appended, 0);
  EXPECT_EQ(ClosedList->Get(0), FormatWinDescr({"", "ref", "url", "04:250 sec.", 1, 0, now}));
  Settings.EnableBrowsedList = true;
  AddListEntry(BrowsedList, "Internet Explorer", "Modeless Dialog has been approved", 2, 0);
  EXPECT_EQ(BrowsedList->Get(0), FormatWinDescr({"", "Internet Explorer", "Modeless Dialog has been approved", "", 2, 0, now}));
}
