#include "platform/sim/SimUiHost.h"

#include "platform/sim/SimClock.h"

namespace sim {

namespace {

// Windows raises timer intervals below this to this.
constexpr unsigned kMinTimerMs = 10;

class SimTimer : public plat::ITimerHandle {
 public:
  SimTimer(SimClock& clock, std::function<void()> onTick)
      : clock_(clock), alive_(clock.AliveToken()), onTick_(std::move(onTick)) {}
  ~SimTimer() override { Stop(); }

  void Start(unsigned intervalMs) override {
    Stop();
    interval_ = intervalMs < kMinTimerMs ? kMinTimerMs : intervalMs;
    ScheduleNext();
  }
  void Stop() override {
    if (pending_ && !alive_.expired()) clock_.Cancel(pending_);
    pending_ = 0;
  }

 private:
  void ScheduleNext() { pending_ = clock_.Schedule(clock_.NowMs() + interval_, [this] { Tick(); }); }
  void Tick() {
    // The next tick is due one interval after this one whatever the handler
    // does; a Stop or Start inside the handler replaces it. The handler may
    // also destroy this timer, so nothing of it is touched afterwards.
    ScheduleNext();
    std::function<void()> fn = onTick_;
    if (fn) fn();
  }

  SimClock& clock_;
  std::weak_ptr<void> alive_;
  std::function<void()> onTick_;
  unsigned interval_ = 0;
  uint64_t pending_ = 0;
};

}  // namespace

struct SimUiHost::TrayData {
  TrayState state;
  plat::TrayCallbacks callbacks;
  const void* owner = nullptr;  // the handle the program holds
};

namespace {

class SimTray : public plat::ITrayHandle {
 public:
  explicit SimTray(std::shared_ptr<SimUiHost::TrayData> tray) : tray_(std::move(tray)) {}
  ~SimTray() override {
    // Destroying the icon object takes the icon out of the notification area.
    if (tray_->owner == this) *tray_ = SimUiHost::TrayData{};
  }
  void SetIcon(int index) override {
    if (Mine()) tray_->state.icon = index;
  }
  void SetHint(const std::string& hint) override {
    if (Mine()) tray_->state.hint = hint;
  }
  void SetActive(bool active) override {
    if (Mine()) tray_->state.active = active;
  }

 private:
  bool Mine() const { return tray_->owner == this; }
  std::shared_ptr<SimUiHost::TrayData> tray_;
};

}  // namespace

SimUiHost::SimUiHost(SimClock& clock) : clock_(clock), tray_(std::make_shared<TrayData>()) {}

SimUiHost::~SimUiHost() = default;

std::unique_ptr<plat::ITimerHandle> SimUiHost::CreateTimer(std::function<void()> onTick) {
  return std::make_unique<SimTimer>(clock_, std::move(onTick));
}

std::unique_ptr<plat::ITrayHandle> SimUiHost::CreateTray(plat::TrayCallbacks callbacks) {
  auto handle = std::make_unique<SimTray>(tray_);
  *tray_ = TrayData{};
  tray_->state.exists = true;
  tray_->callbacks = std::move(callbacks);
  tray_->owner = handle.get();
  return handle;
}

void SimUiHost::SetSessionCallbacks(plat::SessionCallbacks callbacks) { session_ = std::move(callbacks); }

TrayState SimUiHost::Tray() const { return tray_->state; }

void SimUiHost::TrayClick() {
  if (!tray_->state.active) return;
  auto fn = tray_->callbacks.onClick;
  if (fn) fn();
  controls_.Idle();
}

void SimUiHost::TrayDblClick(int64_t gapMs) {
  if (!tray_->state.active) return;
  TrayClick();
  auto second = [this] {
    // The click handler may have removed the icon or replaced its handlers.
    if (!tray_->state.active) return;
    auto fn = tray_->callbacks.onDblClick;
    if (fn) fn();
    controls_.Idle();
  };
  if (gapMs <= 0)
    second();
  else
    clock_.Schedule(clock_.NowMs() + gapMs, second);
}

std::vector<plat::MenuEntry> SimUiHost::TrayMenu() {
  if (!tray_->state.active || !tray_->callbacks.menu) return {};
  auto fn = tray_->callbacks.menu;
  return fn();
}

void SimUiHost::TrayChoose(size_t index) {
  auto entries = TrayMenu();
  if (index >= entries.size() || !entries[index].enabled || entries[index].separator) return;
  auto fn = tray_->callbacks.onMenuChoice;
  if (fn) fn(index);
  controls_.Idle();
}

bool SimUiHost::QueryEndSession() {
  auto fn = session_.onQueryEnd;
  return fn ? fn() : false;
}

void SimUiHost::EndSession(bool ending) {
  auto fn = session_.onEnd;
  if (fn) fn(ending);
}

}  // namespace sim
