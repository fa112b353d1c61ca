#include "ui/Components.h"

#include <algorithm>

#include "platform/Services.h"
#include "ui/Controls.h"

namespace ui {

TApplication Application;

namespace {
// Errors that reach the platform's own frames end up here as well, so that
// the program has one default error handler; the platform's idle moments
// bring the actions up to date.
const bool kHandlersInstalled = (plat::SetErrorHandler([](const std::exception& e) { Application.HandleException(e); }),
                                 plat::SetIdleHandler([] { Application.Idle(); }), true);

template <class T>
void Erase(std::vector<T*>& list, T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

std::vector<TActionList*>& ActionLists() {
  static std::vector<TActionList*> lists;
  return lists;
}

std::string ShortCutText(int shortCut) {
  if (shortCut == 0) return "";
  std::string text;
  if (shortCut & scCtrl) text += "Ctrl+";
  if (shortCut & scShift) text += "Shift+";
  if (shortCut & scAlt) text += "Alt+";
  const int key = shortCut & 0xFF;
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
    text.push_back(static_cast<char>(key));
  else if (key == plat::VK_INSERT_)
    text += "Ins";
  else if (key == plat::VK_DELETE_)
    text += "Del";
  return text;
}

}  // namespace

void TApplication::Terminate() {
  terminated_ = true;
  plat::Ui().QuitLoop();
}

void TApplication::Reset() {
  terminated_ = false;
  ExitState = 0;
  ShowMainForm = true;
}

void TApplication::HandleException(const std::exception& e) {
  // A message that ends in a letter or digit gets its full stop.
  std::string text = e.what();
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  const plat::Handle owner = plat::Installed().ui ? plat::Ui().HostWindow() : 0;
  plat::Desktop().MessageBox(owner, text, Title, plat::MB_ICONERROR_);
}

void TApplication::Guard(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    HandleException(e);
  }
}

void TApplication::Idle() { TActionList::UpdateAll(); }

// ---- timer -------------------------------------------------------------

TTimer::~TTimer() = default;

void TTimer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (enabled) {
    if (!handle_) handle_ = plat::Ui().CreateTimer([this] { Fire(); });
    handle_->Start(Interval);
  } else if (handle_) {
    handle_->Stop();
  }
}

void TTimer::Fire() {
  if (enabled_ && OnTimer) Application.Guard(OnTimer);
}

// ---- menus -------------------------------------------------------------

TMenuItem::TMenuItem(TPopupMenu* menu, std::string name) : TComponent(std::move(name)), menu_(menu) {
  if (menu_) menu_->Items.push_back(this);
}

TMenuItem::~TMenuItem() {
  if (action_) action_->RemoveClient(this);
  if (menu_) Erase(menu_->Items, this);
}

void TMenuItem::SetCaption(const std::string& caption) {
  caption_ = caption;
  Push();
}

void TMenuItem::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Push();
}

void TMenuItem::SetVisible(bool visible) {
  visible_ = visible;
  Push();
}

void TMenuItem::SetAction(TAction* action) {
  if (action_) action_->RemoveClient(this);
  action_ = action;
  if (action_) {
    action_->AddClient(this);
    SetEnabled(action_->Enabled());
  }
}

void TMenuItem::Click() {
  if (action_ && action_->OnExecute)
    action_->Execute();
  else if (OnClick)
    OnClick();
}

std::string TMenuItem::MenuText() const {
  const std::string keys = ShortCutText(ShortCut);
  return keys.empty() ? caption_ : caption_ + "\t" + keys;
}

void TMenuItem::Realize(plat::IControlPeer& formPeer) {
  if (peer_) return;
  plat::PeerSpec spec;
  spec.kind = plat::ControlKind::MenuItem;
  spec.name = Name;
  spec.parent = &formPeer;
  spec.onEvent = [this](plat::ControlEvent& e) {
    if (e.kind == plat::EventKind::Click) Application.Guard([this] { Click(); });
  };
  peer_ = plat::Ui().CreatePeer(std::move(spec));
  Push();
}

void TMenuItem::Push() {
  if (!peer_) return;
  peer_->SetText(MenuText());
  peer_->SetEnabled(enabled_);
  peer_->SetVisible(visible_);
}

TPopupMenu::TPopupMenu(TControl* owner, std::string name) : TComponent(std::move(name)), owner_(owner) {
  if (owner_ && owner_->Form()) owner_->Form()->AddMenu(this);
}

TPopupMenu::~TPopupMenu() {
  for (TMenuItem* item : Items) item->menu_ = nullptr;
  if (owner_ && owner_->Form()) owner_->Form()->RemoveMenu(this);
}

TMenuItem* TPopupMenu::FindShortCut(int shortCut) const {
  for (TMenuItem* item : Items)
    if (item->ShortCut == shortCut && item->Enabled() && item->Visible()) return item;
  return nullptr;
}

std::vector<plat::MenuEntry> TPopupMenu::Entries() const {
  std::vector<plat::MenuEntry> entries;
  for (const TMenuItem* item : Items)
    if (item->Visible()) entries.push_back({item->MenuText(), item->Enabled(), item->IsSeparator()});
  return entries;
}

void TPopupMenu::Popup(TControl& control) {
  if (!control.Peer()) return;
  std::vector<TMenuItem*> shown;
  for (TMenuItem* item : Items)
    if (item->Visible()) shown.push_back(item);
  const int chosen = plat::Ui().TrackPopupMenu(*control.Peer(), Entries());
  if (chosen < 0 || chosen >= static_cast<int>(shown.size())) return;
  // The menu's own loop ran other events meanwhile; the item still decides.
  TMenuItem* item = shown[chosen];
  if (item->Enabled() && !item->IsSeparator()) item->Click();
}

// ---- actions -----------------------------------------------------------

TAction::TAction(TActionList* list, std::string name) : TComponent(std::move(name)), list_(list) {
  if (list_) list_->Actions.push_back(this);
}

TAction::~TAction() {
  for (TControl* c : controls_) c->action_ = nullptr;
  for (TMenuItem* i : items_) i->action_ = nullptr;
  if (list_) Erase(list_->Actions, this);
}

void TAction::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  for (TControl* c : controls_) c->ActionChanged();
  for (TMenuItem* i : items_) i->SetEnabled(enabled_);
}

void TAction::Execute() {
  if (OnExecute) OnExecute();
}

void TAction::Update() {
  if (OnUpdate) Application.Guard(OnUpdate);
}

plat::ImageRef TAction::Image() const {
  if (!list_ || !list_->Images || ImageIndex < 0) return {};
  return list_->Images->At(ImageIndex);
}

void TAction::AddClient(TControl* control) { controls_.push_back(control); }
void TAction::RemoveClient(TControl* control) { Erase(controls_, control); }
void TAction::AddClient(TMenuItem* item) { items_.push_back(item); }
void TAction::RemoveClient(TMenuItem* item) { Erase(items_, item); }

TActionList::TActionList(TControl* owner, std::string name) : TComponent(std::move(name)), owner_(owner) {
  ActionLists().push_back(this);
}

TActionList::~TActionList() {
  for (TAction* a : Actions) a->list_ = nullptr;
  Erase(ActionLists(), this);
}

void TActionList::UpdateActions() {
  if (owner_ && !owner_->Showing()) return;
  // An update handler may change what is shown; work on a copy.
  const std::vector<TAction*> actions = Actions;
  for (TAction* a : actions) a->Update();
}

void TActionList::UpdateAll() {
  const std::vector<TActionList*> lists = ActionLists();
  for (TActionList* list : lists)
    if (std::find(ActionLists().begin(), ActionLists().end(), list) != ActionLists().end()) list->UpdateActions();
}

// ---- tray icon ---------------------------------------------------------

TTrayIcon::~TTrayIcon() {
  if (handle_ && active_) handle_->SetActive(false);
}

plat::ITrayHandle& TTrayIcon::Handle() {
  if (!handle_) {
    plat::TrayCallbacks cb;
    cb.onClick = [this] {
      if (OnClick) Application.Guard(OnClick);
    };
    cb.onDblClick = [this] {
      if (OnDblClick) Application.Guard(OnDblClick);
    };
    cb.menu = [this] { return PopupMenu ? PopupMenu->Entries() : std::vector<plat::MenuEntry>{}; };
    cb.onMenuChoice = [this](size_t index) {
      if (!PopupMenu) return;
      // The index counts the entries the menu showed: the visible items.
      size_t n = 0;
      for (TMenuItem* item : PopupMenu->Items) {
        if (!item->Visible()) continue;
        if (n++ != index) continue;
        if (item->Enabled() && !item->IsSeparator()) Application.Guard([item] { item->Click(); });
        return;
      }
    };
    handle_ = plat::Ui().CreateTray(std::move(cb));
    handle_->SetIcon(icon_);
    handle_->SetHint(hint_);
  }
  return *handle_;
}

void TTrayIcon::SetActive(bool active) {
  if (active == active_) return;
  active_ = active;
  Handle().SetActive(active);
}

void TTrayIcon::SetIconIndex(int index) {
  icon_ = index;
  if (handle_) handle_->SetIcon(index);
}

void TTrayIcon::SetHint(const std::string& hint) {
  hint_ = hint;
  if (handle_) handle_->SetHint(hint);
}

}  // namespace ui
