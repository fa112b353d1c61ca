#include "SettingsFixture.h"

#include "base/Format.h"
#include "platform/FindFiles.h"

namespace {

using plat::RegRoot;

class LangSupTest : public SettingsFixture {
 protected:
  // A language file of our own making beside the program, in use.
  void UseFile(const std::string& bytes) {
    PutFile(ProgramDir() + "Test.lcl", bytes);
    SetLanguage("Test");
  }
};

TEST_F(LangSupTest, LanguagesAreSortedAndUniqueIgnoringCase) {
  const std::string dir = ProgramDir();
  // Start from a folder with only our files.
  for (const auto& e : plat::FindWithAttributes(dir + "*.lcl", plat::FA_READONLY | plat::FA_HIDDEN | plat::FA_SYSTEM))
    plat::Files().DeleteFile(dir + e.name);
  PutFile(dir + "English.lcl", "");
  PutFile(dir + "german.LCL", "");
  PutFile(dir + "ENGLISH.lcl", "");   // the same language once more
  PutFile(dir + "Aleut.lcl", "");
  PutFile(dir + "Zulu.lcl", "");
  PutFile(dir + ".lcl", "");          // no name
  PutFile(dir + "Hidden.lcl", "");
  PutFile(dir + "Ro.lcl", "");
  plat::Files().SetAttributes(dir + "Hidden.lcl", plat::FA_HIDDEN);
  plat::Files().SetAttributes(dir + "Ro.lcl", plat::FA_READONLY);
  plat::Files().CreateDirectory(dir + "Folder.lcl");
  RefreshLanguages();
  ASSERT_EQ(Languages.size(), 5u);
  EXPECT_EQ(Languages[0], "Aleut");
  EXPECT_TRUE(SameText(Languages[1], "English"));
  EXPECT_EQ(Languages[2], "german");
  EXPECT_EQ(Languages[3], "Ro");
  EXPECT_EQ(Languages[4], "Zulu");
}

TEST_F(LangSupTest, SetLanguageComparesWithCase) {
  PutFile(ProgramDir() + "Test.lcl", "[S]\r\nK=one\r\n");
  EXPECT_EQ(LangText("S", "K"), "");  // nothing chosen yet
  SetLanguage("");
  EXPECT_EQ(CurrentLanguage, "");
  SetLanguage("Test");
  EXPECT_EQ(CurrentLanguage, "Test");
  EXPECT_EQ(LangText("S", "K"), "one");
  SetLanguage("test");  // another name: switches, to the same file
  EXPECT_EQ(CurrentLanguage, "test");
  EXPECT_EQ(LangText("S", "K"), "one");
  SetLanguage("Klingon");  // accepted without a file
  EXPECT_EQ(CurrentLanguage, "Klingon");
  EXPECT_EQ(LangText("S", "K"), "");
}

TEST_F(LangSupTest, LookupRules) {
  const std::string longValue(3000, 'v');
  UseFile(
      "; a comment\r\n"
      "K=before any section\r\n"
      "[Common]\r\n"
      "OK=  Fine  \r\n"
      "Quoted=\"  kept blanks  \"\r\n"
      "Single='x'\r\n"
      "Half=\"open\r\n"
      "Inner=a \"b\" c\r\n"
      "Empty=\r\n"
      "Equals=a=b\r\n"
      "  Spaced Key  =v\r\n"
      "Dup=first\r\n"
      "Dup=second\r\n"
      "Long=" + longValue + "\r\n"
      "[ Other ]\r\n"
      "OK=other\r\n"
      "[common]\r\n"
      "Later=found\r\n");
  struct Case {
    const char* section;
    const char* key;
    std::string want;
  } cases[] = {
      {"Common", "OK", "Fine"},
      {"COMMON", "ok", "Fine"},
      {"Common", "Quoted", "  kept blanks  "},
      {"Common", "Single", "x"},
      {"Common", "Half", "\"open"},
      {"Common", "Inner", "a \"b\" c"},
      {"Common", "Empty", ""},
      {"Common", "Equals", "a=b"},
      {"Common", "Spaced Key", "v"},
      {"Common", "Dup", "first"},
      {"Common", "Long", std::string(2047, 'v')},
      {"Common", "Later", "found"},
      {"Other", "OK", "other"},
      {"Common", "K", ""},
      {"Missing", "OK", ""},
      {"Common", "Missing", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(LangText(c.section, c.key), c.want) << c.section << "/" << c.key;
}

TEST_F(LangSupTest, HostileFilesStillAnswer) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string want;
  } cases[] = {
      {"LF only", "[S]\nA=1\nK=yes\n", "yes"},
      {"CR only", "[S]\rK=yes\r", "yes"},
      {"no line end", "[S]\r\nK=yes", "yes"},
      {"no section end", "[S\r\nK=yes\r\n", "yes"},
      {"UTF-8 mark", "\xEF\xBB\xBF[S]\r\nK=yes\r\n", "yes"},
      {"binary bytes", std::string("\0\x01\xFF[x\0]\r\n[S]\r\nK=y\0s\r\n", 22), std::string("y\0s", 3)},
      {"huge line first", "[S]\r\n" + std::string(5'000'000, 'x') + "\r\nK=yes\r\n", "yes"},
      {"huge value", "[S]\r\nK=" + std::string(5'000'000, 'z'), std::string(2047, 'z')},
      {"empty file", "", ""},
      {"key only", "[S]\r\nK\r\n", ""},
  };
  for (const Case& c : cases) {
    UseFile(c.bytes);
    EXPECT_EQ(LangText("S", "K"), c.want) << c.what;
    SetLanguage("Other");  // rebinding forces nothing cached
  }
}

TEST_F(LangSupTest, EditsShowAtTheNextLookup) {
  UseFile("[S]\r\nK=old\r\n");
  EXPECT_EQ(LangText("S", "K"), "old");
  PutFile(ProgramDir() + "Test.lcl", "[S]\r\nK=new\r\n");
  EXPECT_EQ(LangText("S", "K"), "new");
  plat::Files().DeleteFile(ProgramDir() + "Test.lcl");
  EXPECT_EQ(LangText("S", "K"), "");
}

TEST_F(LangSupTest, StartLanguageReplacesShortNames) {
  EnsureSettingsKey();
  struct Case {
    const char* stored;
    const char* chosen;
  } cases[] = {{"Rus", "English"}, {"", "English"}, {"Russian", "Russian"}, {"German", "German"}};
  for (const Case& c : cases) {
    FreeLanguages();
    WriteRegString(RegRoot::CurrentUser, SettingsKey(), "Language", c.stored);
    ChooseStartLanguage();
    EXPECT_EQ(CurrentLanguage, c.chosen) << c.stored;
    EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, SettingsKey(), "Language"), c.chosen) << c.stored;
  }
}

// The keys the windows read, and for format texts the arguments they pass.
enum class Args { None, Count, TwoCounts, WhenLine, Name, Message };

struct TextKey {
  const char* section;
  const char* key;
  Args args = Args::None;
};

// The text as its window shows it, formatted with what the window passes.
std::string Shown(const std::string& text, Args args) {
  switch (args) {
    case Args::Count: return Format(text, {12});
    case Args::TwoCounts: return Format(text, {1, 5});
    case Args::WhenLine: return Format(text, {3, 12, "02.03.2026 09:00:00"});
    case Args::Name: return Format(text, {"..\\x"});
    case Args::Message: return Format(text, {"Not implemented"});
    case Args::None: break;
  }
  return text;
}

const TextKey kTextKeys[] = {
    {"Common", "OK"}, {"Common", "Cancel"}, {"Common", "Exit"}, {"Common", "Help"},
    {"Common", "OndrelOn"}, {"Common", "OndrelOff"}, {"Common", "Erase"}, {"Common", "Attention"},
    {"Common", "AttachFailed", Args::Message},
    {"Options", "Caption"}, {"About", "Caption"}, {"AllowIt", "Caption"}, {"CloseIt", "Caption"},
    {"TheyWereClosed", "Caption"}, {"TheyWereBrowsed", "Caption"}, {"WebEraser", "Caption"},
    {"BugReport", "Caption"}, {"BugReport", "Send"}, {"EditDescr", "Caption"},
    {"Lists", "WhenFormat", Args::WhenLine},
    {"Lists", "WhenFormat2", Args::WhenLine},  // unused; our files keep it in step with WhenFormat
    {"Lists", "HintAddDescr"}, {"Lists", "HintEditDescr"}, {"Lists", "HintDelDescr"},
    {"Lists", "HintAddToAllow"}, {"Lists", "HintAddToClose"}, {"Lists", "HeaderReferrer"},
    {"Lists", "HeaderURL"},
    {"Options", "Language"}, {"Options", "AutoStart"}, {"Options", "HeaderInterval"},
    {"Options", "HeaderInterval2"}, {"Options", "Interval"}, {"Options", "Interval2"},
    {"Options", "Within"}, {"Options", "RetentionPeriod"}, {"Options", "DebugMode"},
    {"Options", "AllowSameSite"}, {"Options", "OtherApp"}, {"Options", "EnableTheyWereBrowsed"},
    {"Options", "EnableTheyWereClosed"}, {"Options", "PlaySound"}, {"Options", "FilterHTML"},
    {"Options", "ModalFilter"}, {"Options", "AdFilterInfo1"}, {"Options", "AdFilterInfo2"},
    {"Options", "TabCommon"}, {"Options", "TabPopupDetector"}, {"Options", "TabSounds"},
    {"Options", "TabFeedback"}, {"Options", "TabIEAds"}, {"Options", "TabIEFilter"},
    {"Options", "SendMessage"}, {"Options", "SendMessageInfo1"}, {"Options", "SendMessageInfo2"},
    {"Options", "SendMessageInfo3"}, {"Options", "SendMessageInfo4"}, {"Options", "BadLanguage", Args::Name},
    {"Options", "FormatStr1", Args::Count}, {"Options", "FormatStr2", Args::TwoCounts}, {"Options", "FormatStr3", Args::Count},
    {"WebEraser", "Cookies", Args::Count}, {"WebEraser", "VisitedURLs", Args::Count}, {"WebEraser", "History", Args::Count},
    {"WebEraser", "Cache", Args::Count}, {"WebEraser", "TypedURLs", Args::Count}, {"WebEraser", "RecentDocs", Args::Count},
    {"WebEraser", "TempFiles", Args::Count}, {"WebEraser", "IECacheBox"}, {"WebEraser", "IEAutoCompleteSrc"},
    {"WebEraser", "CloseIE"}, {"WebEraser", "SelectAll"}, {"WebEraser", "UnSelectAll"},
};

TEST_F(LangSupTest, ShippedLanguagesHaveEveryTextWithFittingPlaceholders) {
  RefreshLanguages();
  for (const char* lang : {"English", "German"}) {
    ASSERT_NE(std::find(Languages.begin(), Languages.end(), lang), Languages.end()) << lang;
    SetLanguage(lang);
    for (const TextKey& t : kTextKeys) {
      const std::string text = LangText(t.section, t.key);
      EXPECT_FALSE(text.empty()) << lang << ": " << t.section << "/" << t.key;
      if (t.args == Args::None) {
        EXPECT_EQ(text.find('%'), std::string::npos) << lang << ": " << t.section << "/" << t.key << " = " << text;
      } else {
        // Every placeholder must meet its argument, so none is left over.
        const std::string shown = Shown(text, t.args);
        EXPECT_EQ(shown.find('%'), std::string::npos) << lang << ": " << t.section << "/" << t.key << " = " << text;
        EXPECT_NE(shown, text) << lang << ": " << t.section << "/" << t.key << " uses no argument";
      }
    }
  }
}

TEST_F(LangSupTest, ShippedFilesAreAnsiWithCrLf) {
  for (const char* lang : {"English", "German"}) {
    const std::string bytes = GetFile(ProgramDir() + lang + ".lcl");
    ASSERT_FALSE(bytes.empty()) << lang;
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] == '\n') {
        ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << lang << " bare LF at " << i;
      }
      // A lead byte of a two-byte UTF-8 letter followed by a continuation
      // byte means the file was saved in the wrong code page.
      const auto b = static_cast<unsigned char>(bytes[i]);
      if (b == 0xC3 && i + 1 < bytes.size()) {
        const auto n = static_cast<unsigned char>(bytes[i + 1]);
        ASSERT_FALSE(n >= 0x80 && n <= 0xBF) << lang << " UTF-8 at " << i;
      }
    }
    EXPECT_TRUE(EndsWith(bytes, "\r\n")) << lang;
  }
  SetLanguage("German");
  EXPECT_EQ(LangText("Common", "Erase"), "L\xF6schen");
}

}  // namespace
