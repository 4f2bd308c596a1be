#include "removal/progress.h"

#include <algorithm>

namespace uninstall {

Progress::Progress(Env& env, std::uint64_t total)
    : env_(env), total_(total), served_at_ms_(env.TickMs()), shown_at_ms_(served_at_ms_) {
  env_.ShowProgress(0, total_);
}

void Progress::Step(std::uint64_t steps) {
  // Never past the total: the bar shows a whole that is never exceeded.
  done_ = std::min(total_, done_ + steps);
  const std::uint64_t now = env_.TickMs();
  if (now - served_at_ms_ < kServeMs) return;
  served_at_ms_ = now;
  if (now - shown_at_ms_ >= kRedrawMs) {
    shown_ = done_;
    shown_at_ms_ = now;
  }
  env_.ShowProgress(shown_, total_);
}

void Progress::Show() {
  shown_ = done_;
  env_.ShowProgress(done_, total_);
  served_at_ms_ = shown_at_ms_ = env_.TickMs();
}

}  // namespace uninstall
