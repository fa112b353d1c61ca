#include "ui/Components.h"

#include "platform/Services.h"

namespace ui {

TApplication Application;

namespace {
// Errors that reach the platform's own frames end up here as well, so that
// the program has one default error handler.
const bool kErrorHandlerInstalled =
    (plat::SetErrorHandler([](const std::exception& e) { Application.HandleException(e); }), true);
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
    cb.menu = [this] {
      std::vector<plat::MenuEntry> entries;
      if (PopupMenu)
        for (TMenuItem* item : PopupMenu->Items)
          entries.push_back({item->Caption, item->Enabled, item->IsSeparator()});
      return entries;
    };
    cb.onMenuChoice = [this](size_t index) {
      if (!PopupMenu || index >= PopupMenu->Items.size()) return;
      TMenuItem* item = PopupMenu->Items[index];
      if (item->Enabled && !item->IsSeparator() && item->OnClick) Application.Guard(item->OnClick);
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

void TForm::Close() {
  if (CloseQuery()) Hide();
}

}  // namespace ui
