#include "platform/sim/SimClock.h"

#include <cmath>

namespace sim {

namespace {
constexpr double kMsPerDay = 86400000.0;
}

SimClock::SimClock() { SetStartTime(EncodeDateTime({2026, 3, 2, 9, 0, 0, 0})); }

TDateTime SimClock::Now() { return At(nowMs_); }

TDateTime SimClock::At(int64_t ms) const {
  // One division of an exact integer: the same instant always gives the same value.
  return static_cast<double>(startMs_ + ms) / kMsPerDay;
}

void SimClock::SetStartTime(TDateTime t) { startMs_ = std::llround(t * kMsPerDay); }

TDateTime SimClock::StartTime() const { return At(0); }

uint64_t SimClock::Schedule(int64_t atMs, std::function<void()> fn) {
  if (atMs < nowMs_) atMs = nowMs_;
  const uint64_t id = nextId_++;
  events_.emplace(std::make_pair(atMs, id), std::move(fn));
  when_.emplace(id, atMs);
  return id;
}

void SimClock::Cancel(uint64_t id) {
  auto it = when_.find(id);
  if (it == when_.end()) return;
  events_.erase({it->second, id});
  when_.erase(it);
}

void SimClock::RunUntil(int64_t untilMs, const std::function<void()>& afterEvent) {
  while (!events_.empty()) {
    auto it = events_.begin();
    if (it->first.first > untilMs) break;
    if (it->first.first > nowMs_) nowMs_ = it->first.first;
    std::function<void()> fn = std::move(it->second);
    when_.erase(it->first.second);
    events_.erase(it);
    fn();
    if (afterEvent) afterEvent();
  }
  if (untilMs > nowMs_) nowMs_ = untilMs;
}

}  // namespace sim
