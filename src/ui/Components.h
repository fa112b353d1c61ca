#pragma once
// The portable component layer: plain objects holding their state and their
// event handlers, realised by the platform's UI host. Event handlers called
// from the platform run through Application.Guard, so an error ends that
// handler only and is shown by the application's default error handler.
//
// This file holds the components that are no window of their own: timers,
// the tray icon, menus, actions and image lists, and the application. The
// controls of the program's windows are in Controls.h.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ondrel_version.h"
#include "platform/Controls.h"
#include "platform/UiHost.h"

namespace ui {

class TControl;
class TForm;
class TAction;

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

// Shortcut values as menus store them: a virtual key plus modifier bits.
constexpr int scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000;

class TPopupMenu;

class TMenuItem : public TComponent {
 public:
  TMenuItem(TPopupMenu* menu, std::string name);
  ~TMenuItem() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool IsSeparator() const { return caption_ == "-"; }
  int ShortCut = 0;
  TAction* Action() const { return action_; }
  void SetAction(TAction* action);
  std::function<void()> OnClick;

  // What the user's choice of the item does: its action, or OnClick.
  void Click();
  // The caption as a menu shows it, with the shortcut's name after a tab.
  std::string MenuText() const;

  // The form's realisation gives the item its peer.
  void Realize(plat::IControlPeer& formPeer);

 private:
  friend class TPopupMenu;
  friend class TAction;
  void Push();
  TPopupMenu* menu_;
  std::string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  TAction* action_ = nullptr;
  std::unique_ptr<plat::IControlPeer> peer_;
};

class TPopupMenu : public TComponent {
 public:
  // |owner| is the form or frame the menu belongs to, or none (a menu of its own).
  explicit TPopupMenu(TControl* owner, std::string name = {});
  ~TPopupMenu() override;

  std::vector<TMenuItem*> Items;  // in menu order; not owned

  // The enabled, visible item with this shortcut, if any.
  TMenuItem* FindShortCut(int shortCut) const;
  std::vector<plat::MenuEntry> Entries() const;  // the visible items, as a menu shows them
  // Shows the menu for |control| and runs the item chosen.
  void Popup(TControl& control);

 private:
  friend class TForm;
  TControl* owner_;
};

// A strip of 16 x 16 images of the program's resources.
class TImageList : public TComponent {
 public:
  TImageList(std::string name, int strip) : TComponent(std::move(name)), Strip(strip) {}
  const int Strip;
  plat::ImageRef At(int index) const { return {Strip, index}; }
};

class TActionList;

// A command shared by buttons and menu items: their enabled state follows
// the action's, and clicking them executes it. Update handlers run when the
// program is idle (after every handled event).
class TAction : public TComponent {
 public:
  TAction(TActionList* list, std::string name);
  ~TAction() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  int ImageIndex = -1;
  std::function<void()> OnExecute;
  std::function<void()> OnUpdate;

  void Execute();
  void Update();
  TActionList* ActionList() const { return list_; }
  plat::ImageRef Image() const;

  void AddClient(TControl* control);
  void RemoveClient(TControl* control);
  void AddClient(TMenuItem* item);
  void RemoveClient(TMenuItem* item);

 private:
  friend class TActionList;
  TActionList* list_;
  bool enabled_ = true;
  std::vector<TControl*> controls_;
  std::vector<TMenuItem*> items_;
};

class TActionList : public TComponent {
 public:
  // |owner| is the form or frame whose controls use the actions.
  TActionList(TControl* owner, std::string name);
  ~TActionList() override;

  TImageList* Images = nullptr;
  std::vector<TAction*> Actions;  // not owned

  // Runs the update handlers while the owner's window is shown.
  void UpdateActions();
  // Every action list of the program, for the idle work.
  static void UpdateAll();

 private:
  TControl* owner_;
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
  // The idle work: every shown window's actions are brought up to date.
  void Idle();

 private:
  bool terminated_ = false;
};

extern TApplication Application;

}  // namespace ui
