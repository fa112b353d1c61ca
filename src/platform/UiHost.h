#pragma once
// What the component layer needs from the window system: periodic timers,
// the notification-area icon, the message loop and the session-end messages.
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace plat {

// The program's one default error handler, installed by the component layer.
// The platform hands it every error that would otherwise unwind through the
// window system's own frames (a timer, a window message, the entry point).
using ErrorHandler = void (*)(const std::exception&);
void SetErrorHandler(ErrorHandler handler);
void HandleError(const std::exception& e);

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
  // owner of the program's message boxes.
  virtual Handle HostWindow() = 0;
};

}  // namespace plat
