#include "SettingsFixture.h"
#include "windows/SysInfo.h"

namespace {

using plat::RegRoot;

const char* const kBho = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

class SysInfoTest : public SettingsFixture {
 protected:
  void SetUp() override {
    SettingsFixture::SetUp();
    Log.Create(LogFilePath(), false);
  }
  static void PutString(RegRoot root, const std::string& key, const std::string& name, const std::string& text) {
    ASSERT_TRUE(CreateRegKey(root, key));
    ASSERT_TRUE(WriteRegString(root, key, name, text));
  }
  static void Remove(RegRoot root, const std::string& key, const std::string& name) { DeleteRegValue(root, key, name); }
  // The machine's browser and system values replaced by our own.
  void SetUpBrowser() {
    const std::string nt = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    PutString(RegRoot::LocalMachine, nt, "ProductName", "Microsoft Windows XP");
    PutString(RegRoot::LocalMachine, nt, "CurrentVersion", "5.1");
    PutString(RegRoot::LocalMachine, nt, "CurrentBuildNumber", "2600");
    Remove(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProductName");
    PutString(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Internet Explorer", "Version", "6.0.2900.2180");
    PutString(RegRoot::ClassesRoot, "Applications\\iexplore.exe\\shell\\open\\command", "",
              "\"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE\" %1");
    const std::string tl = "Interface\\{D30C1661-CDAF-11D0-8A3E-00C04FC9E26E}\\TypeLib";
    PutString(RegRoot::ClassesRoot, tl, "", "{EAB22AC0-30C1-11CF-A7EB-0000C05BAE0B}");
    PutString(RegRoot::ClassesRoot, tl, "Version", "1.1");
    PutString(RegRoot::ClassesRoot, "TypeLib\\{EAB22AC0-30C1-11CF-A7EB-0000C05BAE0B}\\1.1\\0\\win32", "",
              "C:\\WINDOWS\\system32\\shdocvw.dll");
  }
};

TEST_F(SysInfoTest, WritesTheBlockInOrderWithoutStamps) {
  SetUpBrowser();
  PutString(RegRoot::LocalMachine, std::string(kBho) + "\\{AAA}", "", "Toolbar Helper");
  ASSERT_TRUE(CreateRegKey(RegRoot::LocalMachine, std::string(kBho) + "\\{BBB}"));  // no default value
  PutString(RegRoot::LocalMachine, std::string(kBho) + "\\{CCC}", "", "Download Helper");
  LogSystemInfo();
  EXPECT_EQ(GetFile(LogFilePath()),
            "OS Info: Microsoft Windows XP WinVersion=5.1/2600\r\n"
            "IE Info: Ver=6.0.2900.2180 Path=\"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE\" %1\r\n"
            "Browser Helper Objects (3):\r\n"
            "   --- {AAA}: Toolbar Helper\r\n"
            "   --- {BBB}: \r\n"
            "   --- {CCC}: Download Helper\r\n"
            "Program Path: " + plat::System().ProgramPath() + "\r\n"
            "IWebBrowser2: {EAB22AC0-30C1-11CF-A7EB-0000C05BAE0B} v.1.1 in TypeLib(C:\\WINDOWS\\system32\\shdocvw.dll)\r\n");
}

TEST_F(SysInfoTest, OlderFamilyWinsWhenItNamesItself) {
  SetUpBrowser();
  const std::string old = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  PutString(RegRoot::LocalMachine, old, "ProductName", "Microsoft Windows 98");
  PutString(RegRoot::LocalMachine, old, "VersionNumber", "4.10.2222");
  LogSystemInfo();
  EXPECT_TRUE(StartsWith(GetFile(LogFilePath()), "OS Info: Microsoft Windows 98 WinVersion=4.10.2222/\r\n"));
}

TEST_F(SysInfoTest, MissingValuesLeaveEmptyFields) {
  const std::string nt = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  for (const char* name : {"ProductName", "CurrentVersion", "CurrentBuildNumber"})
    Remove(RegRoot::LocalMachine, nt, name);
  Remove(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProductName");
  Remove(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Internet Explorer", "Version");
  Remove(RegRoot::ClassesRoot, "Applications\\iexplore.exe\\shell\\open\\command", "");
  Remove(RegRoot::ClassesRoot, "Interface\\{D30C1661-CDAF-11D0-8A3E-00C04FC9E26E}\\TypeLib", "");
  Remove(RegRoot::ClassesRoot, "Interface\\{D30C1661-CDAF-11D0-8A3E-00C04FC9E26E}\\TypeLib", "Version");
  ASSERT_TRUE(GetRegKeyNames(RegRoot::LocalMachine, kBho).empty());  // a plain machine has none
  LogSystemInfo();
  EXPECT_EQ(GetFile(LogFilePath()),
            "OS Info:  WinVersion=/\r\n"
            "IE Info: Ver= Path=\r\n"
            "Browser Helper Objects (0):\r\n"
            "Program Path: " + plat::System().ProgramPath() + "\r\n"
            "IWebBrowser2:  v. in TypeLib()\r\n");
}

}  // namespace
