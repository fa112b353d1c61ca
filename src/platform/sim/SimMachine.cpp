#include "platform/sim/SimMachine.h"

#include <filesystem>
#include <fstream>

#include "base/StrUtils.h"

namespace fs = std::filesystem;

namespace sim {

namespace {

// What a Windows XP machine with its browser has in the registry, as far as
// the program looks: the user's autostart key, the browser's settings and
// typed addresses, the shell folders, the system's version, the browser's
// version, command and type library. The program's own key is absent.
const char* const kDefaultRegistry = R"reg(Windows Registry Editor Version 5.00

[HKEY_CLASSES_ROOT\Applications\iexplore.exe\shell\open\command]
@="\"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE\" %1"

[HKEY_CLASSES_ROOT\Interface\{D30C1661-CDAF-11D0-8A3E-00C04FC9E26E}]
@="IWebBrowser2"

[HKEY_CLASSES_ROOT\Interface\{D30C1661-CDAF-11D0-8A3E-00C04FC9E26E}\TypeLib]
@="{EAB22AC0-30C1-11CF-A7EB-0000C05BAE0B}"
"Version"="1.1"

[HKEY_CLASSES_ROOT\TypeLib\{EAB22AC0-30C1-11CF-A7EB-0000C05BAE0B}\1.1]
@="Microsoft Internet Controls"

[HKEY_CLASSES_ROOT\TypeLib\{EAB22AC0-30C1-11CF-A7EB-0000C05BAE0B}\1.1\0\win32]
@="C:\\WINDOWS\\system32\\shdocvw.dll"

[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Main]
"Disable Script Debugger"="yes"
"Error Dlg Displayed On Every Error"="no"
"Start Page"="about:blank"
"Window_Placement"=hex:2c,00,00,00,00,00,00,00,01,00,00,00,ff,ff,ff,ff,ff,ff,ff,ff,\
  ff,ff,ff,ff,ff,ff,ff,ff,64,00,00,00,64,00,00,00,84,03,00,00,bc,02,00,00

[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\TypedURLs]

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders]
"AppData"="C:\\Documents and Settings\\User\\Application Data"
"Cache"="C:\\Documents and Settings\\User\\Local Settings\\Temporary Internet Files"
"Cookies"="C:\\Documents and Settings\\User\\Cookies"
"Desktop"="C:\\Documents and Settings\\User\\Desktop"
"Favorites"="C:\\Documents and Settings\\User\\Favorites"
"History"="C:\\Documents and Settings\\User\\Local Settings\\History"
"Local AppData"="C:\\Documents and Settings\\User\\Local Settings\\Application Data"
"Local Settings"="C:\\Documents and Settings\\User\\Local Settings"
"Personal"="C:\\Documents and Settings\\User\\My Documents"
"Recent"="C:\\Documents and Settings\\User\\Recent"
"SendTo"="C:\\Documents and Settings\\User\\SendTo"
"Start Menu"="C:\\Documents and Settings\\User\\Start Menu"
"Programs"="C:\\Documents and Settings\\User\\Start Menu\\Programs"
"Startup"="C:\\Documents and Settings\\User\\Start Menu\\Programs\\Startup"
"Templates"="C:\\Documents and Settings\\User\\Templates"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Internet Explorer]
"Version"="6.0.2900.2180"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion]
"CurrentBuildNumber"="2600"
"CurrentVersion"="5.1"
"ProductName"="Microsoft Windows XP"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects]

)reg";

}  // namespace

SimMachine::SimMachine(const MachineConfig& cfg)
    : root_(cfg.root),
      registry_(cfg.root + "/registry.reg"),
      files_(cfg.root),
      system_(files_),
      desktop_(clock_),
      ui_(clock_),
      mail_(files_, cfg.root + "/outbox"),
      browsers_(clock_, desktop_, com_) {
  while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
  system_.SetDesktop(&desktop_);
  LayOut(cfg.langDir);
  DefaultRegistry();
}

SimMachine::~SimMachine() {
  if (installed_ && plat::Installed().clock == &clock_) plat::Install(previous_);
}

plat::Services SimMachine::Services() {
  plat::Services s;
  s.clock = &clock_;
  s.registry = &registry_;
  s.files = &files_;
  s.system = &system_;
  s.desktop = &desktop_;
  s.ui = &ui_;
  s.urlCache = &urlCache_;
  s.com = &com_;
  s.mail = &mail_;
  return s;
}

void SimMachine::Install() {
  plat::Services prev = plat::Install(Services());
  if (!installed_) previous_ = prev;
  installed_ = true;
}

void SimMachine::RunUntil(int64_t untilMs) {
  // After every event the program is idle for a moment, as when its message
  // queue runs empty: actions are brought up to date and windows painted.
  clock_.RunUntil(untilMs, [this] {
    ui_.Controls().Idle();
    if (AfterEvent) AfterEvent();
  });
}

void SimMachine::LayOut(const std::string& langDir) {
  std::error_code ec;
  // A fresh machine: only what this class lays out is cleared, nothing else
  // that may lie in the folder.
  fs::create_directories(root_, ec);
  fs::remove_all(root_ + "/C", ec);
  fs::remove(root_ + "/registry.reg", ec);
  fs::remove_all(root_ + "/outbox", ec);
  fs::create_directory(root_ + "/C", ec);

  // Folders are created through the simulated file system, so that they get
  // the names (and letter case) the Windows paths give them.
  for (const char* dir : {kProgramDir, kMediaDir, kRecentDir, kHistoryDir, kTempDir}) files_.MakeDirs(dir);
  const char* const userFolders[] = {"Application Data", "Cookies", "Desktop", "Favorites", "My Documents",
                                     "SendTo", "Start Menu\\Programs\\Startup", "Templates",
                                     "Local Settings\\Application Data", "Local Settings\\Temporary Internet Files"};
  for (const char* f : userFolders) files_.MakeDirs(std::string(kUserDir) + "\\" + f);
  files_.MakeDirs(std::string(kWindowsDir) + "\\system32");

  // The program file itself: an empty placeholder, so that the folder looks
  // as it does after installation.
  files_.PutFile(kProgramPath, "");

  if (!langDir.empty()) {
    const std::string programDir = HostPath(kProgramDir);
    for (fs::directory_iterator it(langDir, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code fec;
      if (!it->is_regular_file(fec) || !SameText(it->path().extension().string(), ".lcl")) continue;
      fs::copy_file(it->path(), programDir + "/" + it->path().filename().string(),
                    fs::copy_options::overwrite_existing, fec);
    }
  }
}

void SimMachine::DefaultRegistry() {
  std::string error;
  registry_.ImportText(kDefaultRegistry, "default registry", &error);
}

}  // namespace sim
