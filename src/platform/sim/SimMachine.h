#pragma once
// A simulated Windows XP machine under a host folder: drive C: in DIR/C, the
// registry in DIR/registry.reg, the mail handed over in DIR/outbox, a virtual
// clock with its event queue, and the services the program reaches through
// the platform seam. Each service is a member of its own class (SimClock,
// SimRegistry, SimFiles, SimSystem, SimDesktop, SimUiHost, SimMail); further
// parts of the simulated desktop join as further members and are installed
// with the others.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "platform/sim/SimBrowsers.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimComRuntime.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimFiles.h"
#include "platform/sim/SimMail.h"
#include "platform/sim/SimPaths.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSystem.h"
#include "platform/sim/SimUiHost.h"
#include "platform/sim/SimUrlCache.h"

namespace sim {

struct MachineConfig {
  std::string root;     // host folder of the machine; DIR/C/ is drive C:, DIR/registry.reg the registry
  std::string langDir;  // host folder whose *.lcl files are copied beside the program ("" = none)
};

class SimMachine {
 public:
  // Lays out a fresh machine under cfg.root: whatever an earlier machine left
  // in DIR/C, DIR/registry.reg and DIR/outbox is removed first.
  explicit SimMachine(const MachineConfig& cfg);
  ~SimMachine();  // uninstalls its services if they are installed
  SimMachine(const SimMachine&) = delete;
  SimMachine& operator=(const SimMachine&) = delete;

  void Install();  // plat::Install(this machine's services)
  plat::Services Services();
  const std::string& Root() const { return root_; }

  // Time: virtual, whole milliseconds since the machine's start time.
  void SetStartTime(TDateTime t) { clock_.SetStartTime(t); }  // default 2026-03-02 09:00:00.000 local
  TDateTime StartTime() const { return clock_.StartTime(); }
  int64_t NowMs() const { return clock_.NowMs(); }
  TDateTime Now() const { return clock_.At(clock_.NowMs()); }
  uint64_t Schedule(int64_t atMs, std::function<void()> fn) { return clock_.Schedule(atMs, std::move(fn)); }
  void Cancel(uint64_t id) { clock_.Cancel(id); }
  void RunUntil(int64_t untilMs);
  std::function<void()> AfterEvent;  // called after each event ran

  // Paths.
  std::string HostPath(const std::string& winPath) const { return files_.HostPath(winPath); }

  // Registry.
  SimRegistry& Registry() { return registry_; }
  bool ImportRegFile(const std::string& hostPath, std::string* error) { return registry_.ImportFile(hostPath, error); }

  // Records of what the program did.
  using MessageRecord = sim::MessageRecord;
  const std::vector<MessageRecord>& Messages() const { return desktop_.Messages(); }
  const std::vector<std::string>& Sounds() const { return system_.Sounds(); }
  const std::vector<std::string>& ShellRequests() const { return system_.ShellRequests(); }
  bool MutexExists(const std::string& name) const { return system_.MutexExists(name); }

  // Tray.
  using TrayState = sim::TrayState;
  TrayState Tray() const { return ui_.Tray(); }
  void TrayClick() { ui_.TrayClick(); }
  void TrayDblClick() { ui_.TrayDblClick(); }
  std::vector<plat::MenuEntry> TrayMenu() { return ui_.TrayMenu(); }
  void TrayChoose(size_t index) { ui_.TrayChoose(index); }

  // The program's windows.
  SimControls& Windows() { return ui_.Controls(); }

  // Session end and the loop.
  bool QueryEndSession() { return ui_.QueryEndSession(); }
  void EndSession(bool ending) { ui_.EndSession(ending); }
  bool QuitRequested() const { return ui_.QuitRequested(); }

  // File faults for tests of failure paths.
  void LockFile(const std::string& winPath, bool shareRead = false) { files_.LockFile(winPath, shareRead); }
  void DenyWritesUnder(const std::string& winFolder) { files_.DenyWritesUnder(winFolder); }
  void ClearFaults() { files_.ClearFaults(); }

  // The services themselves, for the parts of the simulator built on them.
  SimClock& Clock() { return clock_; }
  SimFiles& Files() { return files_; }
  SimSystem& System() { return system_; }
  SimDesktop& Desktop() { return desktop_; }
  SimUiHost& Ui() { return ui_; }
  SimUrlCache& UrlCache() { return urlCache_; }
  SimComRuntime& ComRuntime() { return com_; }
  SimMail& Mail() { return mail_; }
  SimBrowsers& Browsers() { return browsers_; }

 private:
  void LayOut(const std::string& langDir);
  void DefaultRegistry();

  std::string root_;
  SimClock clock_;
  SimRegistry registry_;
  SimFiles files_;
  SimSystem system_;
  SimDesktop desktop_;
  SimUiHost ui_;
  SimUrlCache urlCache_;
  SimComRuntime com_;
  SimMail mail_;
  SimBrowsers browsers_;  // after the services it uses, so that it goes first
  bool installed_ = false;
  plat::Services previous_;
};

}  // namespace sim
