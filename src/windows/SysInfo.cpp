#include "windows/SysInfo.h"

#include "base/Format.h"
#include "platform/Services.h"
#include "settings/LogFile.h"
#include "settings/RegProc.h"

namespace {

const char* const kOlderFamilyKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char* const kNtFamilyKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const char* const kBrowserKey = "SOFTWARE\\Microsoft\\Internet Explorer";
const char* const kBrowserCommandKey = "Applications\\iexplore.exe\\shell\\open\\command";
const char* const kHelperObjectsKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
const char* const kBrowserTypeLibKey = "Interface\\{D30C1661-CDAF-11D0-8A3E-00C04FC9E26E}\\TypeLib";

void Line(const std::string& text) { Log.Write(LogAlways, text, false); }

}  // namespace

void LogSystemInfo() {
  using plat::RegRoot;
  std::string osName = ReadRegString(RegRoot::LocalMachine, kOlderFamilyKey, "ProductName");
  std::string osVersion, osBuild;
  if (!osName.empty()) {
    osVersion = ReadRegString(RegRoot::LocalMachine, kOlderFamilyKey, "VersionNumber");
    osBuild = ReadRegString(RegRoot::LocalMachine, kOlderFamilyKey, "SubVersionNumber");
  } else {
    osName = ReadRegString(RegRoot::LocalMachine, kNtFamilyKey, "ProductName");
    osVersion = ReadRegString(RegRoot::LocalMachine, kNtFamilyKey, "CurrentVersion");
    osBuild = ReadRegString(RegRoot::LocalMachine, kNtFamilyKey, "CurrentBuildNumber");
  }
  const std::string ieVersion = ReadRegString(RegRoot::LocalMachine, kBrowserKey, "Version");
  const std::string ieCommand = ReadRegString(RegRoot::ClassesRoot, kBrowserCommandKey, "");
  Line(Format("OS Info: %s WinVersion=%s/%s\r\nIE Info: Ver=%s Path=%s", {osName, osVersion, osBuild, ieVersion, ieCommand}));

  const std::vector<std::string> helpers = GetRegKeyNames(RegRoot::LocalMachine, kHelperObjectsKey);
  Line(Format("Browser Helper Objects (%d):", {static_cast<int>(helpers.size())}));
  for (const std::string& h : helpers) {
    const std::string name = ReadRegString(RegRoot::LocalMachine, std::string(kHelperObjectsKey) + "\\" + h, "");
    Line(Format("   --- %s: %s", {h, name}));
  }

  Line(Format("Program Path: %s", {plat::System().ProgramPath()}));

  const std::string libId = ReadRegString(RegRoot::ClassesRoot, kBrowserTypeLibKey, "");
  const std::string libVersion = ReadRegString(RegRoot::ClassesRoot, kBrowserTypeLibKey, "Version");
  const std::string libFile =
      ReadRegString(RegRoot::ClassesRoot, Format("TypeLib\\%s\\%s\\0\\win32", {libId, libVersion}), "");
  Line(Format("IWebBrowser2: %s v.%s in TypeLib(%s)", {libId, libVersion, libFile}));
}
