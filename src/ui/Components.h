#pragma once
// The portable component layer: plain objects holding their state and their
// event handlers, realised by the platform's UI host. Event handlers called
// from the platform run through Application.Guard, so an error ends that
// handler only and is shown by the application's default error handler.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ondrel_version.h"
#include "platform/UiHost.h"

namespace ui {

class TComponent {
 public:
  explicit TComponent(std::string name = {}) : Name(std::move(name)) {}
  virtual ~TComponent() = default;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  std::string Name;
  int Tag = 0;
};

class TTimer : public TComponent {
 public:
  using TComponent::TComponent;
  ~TTimer() override;

  unsigned Interval = 1000;  // milliseconds
  std::function<void()> OnTimer;

  bool Enabled() const { return enabled_; }
  // Enabling (re)starts the period: the next tick comes Interval from now.
  void SetEnabled(bool enabled);

 private:
  void Fire();
  bool enabled_ = false;
  std::unique_ptr<plat::ITimerHandle> handle_;
};

class TMenuItem : public TComponent {
 public:
  using TComponent::TComponent;
  std::string Caption;
  bool Enabled = true;
  std::function<void()> OnClick;
  bool IsSeparator() const { return Caption == "-"; }
};

class TPopupMenu : public TComponent {
 public:
  using TComponent::TComponent;
  std::vector<TMenuItem*> Items;  // not owned
};

// The notification-area icon with its list of icons, hint and menu.
class TTrayIcon : public TComponent {
 public:
  using TComponent::TComponent;
  ~TTrayIcon() override;

  TPopupMenu* PopupMenu = nullptr;
  std::function<void()> OnClick;
  std::function<void()> OnDblClick;

  bool Active() const { return active_; }
  void SetActive(bool active);
  int IconIndex() const { return icon_; }
  void SetIconIndex(int index);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);

 private:
  plat::ITrayHandle& Handle();
  bool active_ = false;
  int icon_ = 0;
  std::string hint_;
  std::unique_ptr<plat::ITrayHandle> handle_;
};

class TForm : public TComponent {
 public:
  using TComponent::TComponent;
  std::string Caption;
  bool Visible() const { return visible_; }
  void Show() { visible_ = true; }
  void Hide() { visible_ = false; }
  // Asks CloseQuery; hides the form when it may close.
  void Close();
  virtual bool CloseQuery() { return true; }

 private:
  bool visible_ = false;
};

class TApplication {
 public:
  std::string Title = ONDREL_PRODUCT_NAME;
  bool ShowMainForm = true;
  // 0 while running; 2 once the exit sequence has begun.
  int ExitState = 0;

  // Ends the message loop.
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Back to the state before start (the simulator runs several programs).
  void Reset();

  // The program's default error handler: shows the error's message, with the
  // program's name as caption, and goes on.
  void HandleException(const std::exception& e);
  // Runs a handler; an error it raises goes to HandleException.
  void Guard(const std::function<void()>& handler);

 private:
  bool terminated_ = false;
};

extern TApplication Application;

}  // namespace ui
