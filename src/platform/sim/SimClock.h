#pragma once
// Virtual time and the event queue of the simulated machine. Time is kept in
// whole milliseconds since the machine's start time, so that periodic events
// never drift; the program sees it as its usual date-time value. Nothing here
// looks at the host's clock.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <utility>

#include "platform/Clock.h"

namespace sim {

class SimClock : public plat::IClock {
 public:
  SimClock();

  // The seam.
  TDateTime Now() override;

  void SetStartTime(TDateTime t);  // rounded to the millisecond
  TDateTime StartTime() const;
  int64_t NowMs() const { return nowMs_; }
  TDateTime At(int64_t ms) const;  // the date-time of a virtual time

  // Runs |fn| at |atMs| (at once-now when it lies in the past); events due at
  // the same millisecond run in the order in which they were scheduled.
  uint64_t Schedule(int64_t atMs, std::function<void()> fn);
  void Cancel(uint64_t id);
  bool Pending(uint64_t id) const { return when_.count(id) > 0; }
  // Runs every event due up to and including |untilMs| (also those that the
  // events schedule), calling |afterEvent| after each; then the time is untilMs.
  void RunUntil(int64_t untilMs, const std::function<void()>& afterEvent = nullptr);

  // Expires when the clock goes, so that handles holding on to it can tell.
  std::weak_ptr<void> AliveToken() const { return alive_; }

 private:
  int64_t startMs_;  // the start time in milliseconds since 1899-12-30 00:00
  int64_t nowMs_ = 0;
  uint64_t nextId_ = 1;
  std::map<std::pair<int64_t, uint64_t>, std::function<void()>> events_;  // (time, id): ids grow, so ties keep order
  std::unordered_map<uint64_t, int64_t> when_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace sim
