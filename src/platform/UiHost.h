#pragma once
// What the component layer needs from the window system: periodic timers,
// the notification-area icon, the program's windows and their controls (see
// Controls.h), the message loop with its nested modal loops, and the
// session-end messages.
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Controls.h"
#include "platform/Types.h"

namespace plat {

// The program's one default error handler, installed by the component layer.
// The platform hands it every error that would otherwise unwind through the
// window system's own frames (a timer, a window message, the entry point).
using ErrorHandler = void (*)(const std::exception&);
void SetErrorHandler(ErrorHandler handler);
void HandleError(const std::exception& e);

// Work for the moments when no event waits: the component layer brings its
// actions' enabled states up to date. Windows runs it when the message queue
// runs empty, the simulator after every event and every user action.
using IdleHandler = void (*)();
void SetIdleHandler(IdleHandler handler);
void RunIdle();

class ITimerHandle {
 public:
  virtual ~ITimerHandle() = default;
  // (Re)starts the timer: the next tick comes |intervalMs| from now.
  virtual void Start(unsigned intervalMs) = 0;
  virtual void Stop() = 0;
};

struct MenuEntry {
  std::string caption;
  bool enabled = true;
  bool separator = false;
};

struct TrayCallbacks {
  std::function<void()> onClick;     // left click
  std::function<void()> onDblClick;  // left double click (after the click of its first press)
  std::function<std::vector<MenuEntry>()> menu;  // entries of the right-click menu
  std::function<void(size_t)> onMenuChoice;       // index into those entries
};

class ITrayHandle {
 public:
  virtual ~ITrayHandle() = default;
  // Icon 0 or 1 of the program's two tray icons.
  virtual void SetIcon(int index) = 0;
  virtual void SetHint(const std::string& hint) = 0;
  // Puts the icon into the notification area or removes it.
  virtual void SetActive(bool active) = 0;
};

struct SessionCallbacks {
  // The system asks whether the session may end; the answer is returned.
  std::function<bool()> onQueryEnd;
  // The session ends now (|ending| true) or goes on after all.
  std::function<void(bool ending)> onEnd;
};

class IUiHost {
 public:
  virtual ~IUiHost() = default;
  virtual std::unique_ptr<ITimerHandle> CreateTimer(std::function<void()> onTick) = 0;
  virtual std::unique_ptr<ITrayHandle> CreateTray(TrayCallbacks callbacks) = 0;
  virtual void SetSessionCallbacks(SessionCallbacks callbacks) = 0;
  // Runs the message loop until QuitLoop is asked (Windows); the simulator
  // drives its own loop and returns at once.
  virtual void RunLoop() = 0;
  virtual void QuitLoop() = 0;
  // The hidden top-level window behind the tray icon and the timers: the
  // owner of the program's message boxes and windows.
  virtual Handle HostWindow() = 0;

  // A control of one of the program's windows; a form's peer comes before
  // its controls' peers, and a parent's before its children's.
  virtual std::unique_ptr<IControlPeer> CreatePeer(PeerSpec spec) = 0;
  // Runs a nested message loop while |form| is shown modally, until |done|
  // holds or the program ends; timers and other events go on meanwhile.
  virtual void RunModal(IControlPeer& form, const std::function<bool()>& done) = 0;
  // Shows a pop-up menu at the mouse for |owner| and returns the index of the
  // entry chosen, or -1.
  virtual int TrackPopupMenu(IControlPeer& owner, const std::vector<MenuEntry>& entries) = 0;
};

}  // namespace plat
