#pragma once
// The simulated window system's part for the component layer: timers on the
// virtual clock, the notification-area icon the simulated user clicks, and
// the session-end messages. The runner drives the loop itself.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/UiHost.h"
#include "platform/sim/SimControls.h"

namespace sim {

class SimClock;

struct TrayState {
  bool exists = false;  // the program holds a tray icon object
  bool active = false;  // the icon is in the notification area
  int icon = 0;
  std::string hint;
};

class SimUiHost : public plat::IUiHost {
 public:
  explicit SimUiHost(SimClock& clock);
  ~SimUiHost() override;

  // The seam.
  std::unique_ptr<plat::ITimerHandle> CreateTimer(std::function<void()> onTick) override;
  std::unique_ptr<plat::ITrayHandle> CreateTray(plat::TrayCallbacks callbacks) override;
  void SetSessionCallbacks(plat::SessionCallbacks callbacks) override;
  void RunLoop() override {}
  void QuitLoop() override { quit_ = true; }
  plat::Handle HostWindow() override { return kHostWindow; }
  // The handle of the program's hidden host window (from the program's range).
  static constexpr plat::Handle kHostWindow = 0x300000;
  std::unique_ptr<plat::IControlPeer> CreatePeer(plat::PeerSpec spec) override { return controls_.Create(std::move(spec)); }
  void RunModal(plat::IControlPeer& form, const std::function<bool()>& done) override { controls_.RunModal(form, done); }
  // Pop-up menus are not opened on the simulated desktop: the user chooses
  // their items by name.
  int TrackPopupMenu(plat::IControlPeer&, const std::vector<plat::MenuEntry>&) override { return -1; }

  // The program's windows as the simulated user sees them.
  SimControls& Controls() { return controls_; }

  // What the simulated user and system do. Clicks reach only an icon that is
  // in the notification area.
  TrayState Tray() const;
  void TrayClick();
  // The click of its first press at once, then the double click |gapMs| later.
  void TrayDblClick(int64_t gapMs = 0);
  std::vector<plat::MenuEntry> TrayMenu();
  void TrayChoose(size_t index);  // only an enabled entry that is no separator
  bool QueryEndSession();         // the program's answer; false when it set none
  void EndSession(bool ending);
  bool QuitRequested() const { return quit_; }

  struct TrayData;  // shared between the host and the program's tray handle

 private:
  SimClock& clock_;
  std::shared_ptr<TrayData> tray_;
  plat::SessionCallbacks session_;
  bool quit_ = false;
  SimControls controls_;
};

}  // namespace sim
