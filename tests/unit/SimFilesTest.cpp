#include "platform/sim/SimFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "SimTestUtil.h"

namespace fs = std::filesystem;
using plat::OpenMode;
using sim::SimFiles;

namespace {

class SimFilesTest : public ::testing::Test {
 protected:
  SimFilesTest() {
    fs::create_directories(dir.path() + "/C/Data/Sub");
    simtest::WriteHostFile(dir.path() + "/C/Data/Note.TXT", "hello");
  }

  bool Write(const std::string& path, const std::string& text) {
    auto f = files.Open(path, OpenMode::CreateAlways);
    return f && f->Write(text.data(), text.size());
  }
  std::string Read(const std::string& path) {
    auto f = files.Open(path, OpenMode::Read);
    if (!f) return "<cannot open>";
    std::string s(f->Size(), '\0');
    s.resize(f->Read(s.data(), s.size()));
    return s;
  }
  std::vector<std::string> Names(const std::string& pattern) {
    std::vector<plat::FindEntry> entries;
    std::vector<std::string> names;
    if (!files.FindFiles(pattern, entries)) return {"<missing>"};
    for (auto& e : entries) names.push_back(e.name);
    return names;
  }

  simtest::TempDir dir;
  SimFiles files{dir.path()};
};

}  // namespace

TEST_F(SimFilesTest, PathsResolveWithoutRegardToCaseAndNewNamesKeepTheirs) {
  const std::string c = dir.path() + "/C";
  const struct {
    const char* win;
    std::string host;
  } cases[] = {
      {"c:\\data\\note.txt", c + "/Data/Note.TXT"},
      {"C:/DATA/sub/", c + "/Data/Sub"},
      {"C:\\Data\\.\\Sub\\..\\Note.txt", c + "/Data/Note.TXT"},
      {"C:\\data\\New Folder\\new.txt", c + "/Data/New Folder/new.txt"},  // missing parts as given
      {"C:\\", c},
      {"D:\\x", dir.path() + "/D/x"},  // no such drive: nothing there
      {"relative\\x", ""},
      {"C:x", ""},
      {"C:\\a?b", ""},
  };
  for (auto& t : cases) EXPECT_EQ(files.HostPath(t.win), t.host) << t.win;

  EXPECT_EQ(Read("C:\\DATA\\NOTE.txt"), "hello");
  EXPECT_TRUE(files.CreateDirectory("c:\\data\\MixedCase"));
  EXPECT_TRUE(Write("C:\\DATA\\mixedcase\\File.Log", "x"));
  EXPECT_TRUE(fs::exists(c + "/Data/MixedCase/File.Log"));
  EXPECT_FALSE(files.CreateDirectory("C:\\Data\\MIXEDCASE"));  // exists already
  EXPECT_FALSE(files.CreateDirectory("C:\\Data\\no\\deeper"));  // parent missing
  EXPECT_FALSE(Write("D:\\x.txt", "x"));
  EXPECT_FALSE(files.FileExists("D:\\x.txt"));
}

TEST_F(SimFilesTest, FindListsDotsSortedEntriesAndAttributesWithoutFollowingLinks) {
  simtest::WriteHostFile(dir.path() + "/C/Data/a.wav", "123");
  ASSERT_TRUE(files.PutFile("C:\\Target\\Deeper\\inside.txt", "x"));
  ASSERT_TRUE(files.MakeLink("C:\\Data\\Link", "c:\\target"));
  EXPECT_EQ(Names("C:\\Data\\Link\\*.txt"), std::vector<std::string>{});  // looking through the junction
  EXPECT_EQ(Names("C:\\Data\\Link\\*"), (std::vector<std::string>{".", "..", "Deeper"}));
  ASSERT_TRUE(files.SetAttributes("C:\\Data\\a.wav", plat::FA_READONLY | plat::FA_HIDDEN));

  std::vector<plat::FindEntry> all;
  ASSERT_TRUE(files.FindFiles("C:\\data\\*.*", all));
  std::vector<std::string> got;
  for (auto& e : all) got.push_back(e.name + ":" + std::to_string(e.attributes) + ":" + std::to_string(e.size));
  EXPECT_EQ(got, (std::vector<std::string>{".:16:0", "..:16:0", "a.wav:35:3", "Link:1040:0", "Note.TXT:32:5", "Sub:16:0"}));

  EXPECT_EQ(Names("C:\\Data\\*.WAV"), std::vector<std::string>{"a.wav"});
  EXPECT_EQ(Names("C:\\Data\\n*"), std::vector<std::string>{"Note.TXT"});
  EXPECT_EQ(Names("C:\\Data\\Sub\\*"), (std::vector<std::string>{".", ".."}));
  EXPECT_EQ(Names("C:\\*"), (std::vector<std::string>{"Data", "Target"}));  // no dots at a drive's root
  EXPECT_EQ(Names("C:\\Missing\\*"), std::vector<std::string>{"<missing>"});
  EXPECT_EQ(Names("C:\\Data\\Note.txt\\*"), std::vector<std::string>{"<missing>"});

  // Deleting the link removes the link; its target and the target's files stay.
  EXPECT_FALSE(files.DeleteFile("C:\\Data\\Link"));  // a folder link is no file
  EXPECT_TRUE(files.RemoveDirectory("C:\\Data\\Link"));
  EXPECT_EQ(Read("C:\\Target\\Deeper\\inside.txt"), "x");
  EXPECT_EQ(files.GetAttributes("C:\\Data\\Link"), plat::kInvalidAttributes);

  // Attributes come back as they were set.
  ASSERT_TRUE(files.SetAttributes("C:\\Data\\a.wav", 0));
  EXPECT_EQ(files.GetAttributes("C:\\Data\\a.wav"), plat::FA_ARCHIVE);
}

TEST_F(SimFilesTest, ReadOnlyFilesAreNeitherWrittenNorReplacedNorDeleted) {
  ASSERT_TRUE(files.SetAttributes("C:\\Data\\Note.TXT", plat::FA_READONLY));
  std::string error;
  EXPECT_EQ(files.Open("C:\\Data\\Note.TXT", OpenMode::ReadWrite, &error), nullptr);
  EXPECT_EQ(error, "Access is denied.");
  EXPECT_EQ(files.Open("C:\\Data\\Note.TXT", OpenMode::CreateAlways), nullptr);
  EXPECT_FALSE(files.DeleteFile("C:\\Data\\Note.TXT"));
  ASSERT_TRUE(Write("C:\\Data\\new.tmp", "new"));
  EXPECT_FALSE(files.ReplaceFile("C:\\Data\\new.tmp", "C:\\Data\\Note.TXT"));
  EXPECT_EQ(Read("C:\\Data\\Note.TXT"), "hello");  // reading is fine

  ASSERT_TRUE(files.SetAttributes("C:\\Data\\Note.TXT", 0));
  EXPECT_TRUE(files.DeleteFile("C:\\Data\\note.txt"));
  EXPECT_FALSE(files.DeleteFile("C:\\Data\\note.txt"));
  EXPECT_FALSE(files.DeleteFile("C:\\Data\\Sub"));  // never a folder
}

TEST_F(SimFilesTest, FaultsMakeOpeningWritingAndDeletingFail) {
  ASSERT_TRUE(Write("C:\\Data\\Sub\\in.txt", "x"));
  auto open = files.Open("C:\\Data\\Sub\\in.txt", OpenMode::ReadWrite);
  ASSERT_NE(open, nullptr);

  files.DenyWritesUnder("C:\\DATA\\sub");
  EXPECT_FALSE(open->Write("y", 1));  // as a full disk does to an open file
  EXPECT_FALSE(Write("C:\\Data\\Sub\\other.txt", "x"));
  EXPECT_FALSE(files.CreateDirectory("C:\\Data\\Sub\\New"));
  open.reset();
  EXPECT_FALSE(files.DeleteFile("C:\\Data\\Sub\\in.txt"));
  EXPECT_FALSE(files.ReplaceFile("C:\\Data\\Note.TXT", "C:\\Data\\Sub\\moved.txt"));
  EXPECT_TRUE(Write("C:\\Data\\outside.txt", "x"));  // only below that folder

  files.ClearFaults();
  files.LockFile("c:\\data\\note.txt");
  std::string error;
  EXPECT_EQ(files.Open("C:\\Data\\Note.TXT", OpenMode::Read, &error), nullptr);
  EXPECT_EQ(error, "The process cannot access the file because it is being used by another process.");
  EXPECT_FALSE(files.DeleteFile("C:\\Data\\Note.TXT"));
  EXPECT_FALSE(files.ReplaceFile("C:\\Data\\outside.txt", "C:\\Data\\Note.TXT", &error));

  files.ClearFaults();
  EXPECT_EQ(Read("C:\\Data\\Note.TXT"), "hello");
  EXPECT_TRUE(files.DeleteFile("C:\\Data\\Sub\\in.txt"));
}

TEST_F(SimFilesTest, ReplaceMovesOverInOneStepAndOpenFilesStayPut) {
  ASSERT_TRUE(Write("C:\\Data\\list.tmp", "new content"));
  {
    // A file held open cannot be replaced or deleted, as the program shares no deletion.
    auto held = files.Open("C:\\Data\\Note.TXT", OpenMode::Read);
    EXPECT_FALSE(files.ReplaceFile("C:\\Data\\list.tmp", "C:\\Data\\note.txt"));
    EXPECT_FALSE(files.DeleteFile("C:\\Data\\Note.TXT"));
  }
  std::string error;
  EXPECT_TRUE(files.ReplaceFile("C:\\Data\\list.tmp", "C:\\Data\\note.txt", &error)) << error;
  EXPECT_EQ(Read("C:\\Data\\Note.TXT"), "new content");
  EXPECT_FALSE(files.FileExists("C:\\Data\\list.tmp"));
  EXPECT_FALSE(files.ReplaceFile("C:\\Data\\list.tmp", "C:\\Data\\x", &error));
  EXPECT_EQ(error, "The system cannot find the file specified.");
  EXPECT_TRUE(files.ReplaceFile("C:\\Data\\Note.TXT", "C:\\Data\\Sub\\Moved.txt"));  // to a new name

  // Folders go only when empty; missing paths have their own message.
  EXPECT_FALSE(files.RemoveDirectory("C:\\Data\\Sub"));
  EXPECT_TRUE(files.DeleteFile("C:\\Data\\Sub\\moved.txt"));
  EXPECT_TRUE(files.RemoveDirectory("C:\\Data\\SUB"));
  EXPECT_EQ(files.Open("C:\\Nowhere\\x.txt", OpenMode::CreateAlways, &error), nullptr);
  EXPECT_EQ(error, "The system cannot find the path specified.");
}
