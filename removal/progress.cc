#include "removal/progress.h"

#include <algorithm>

namespace uninstall {

Progress::Progress(Env& env, std::uint64_t total)
    : env_(env), total_(total), shown_at_ms_(env.TickMs()) {
  env_.ShowProgress(0, total_);
}

void Progress::Step(std::uint64_t steps) {
  // Never past the total: the bar shows a whole that is never exceeded.
  done_ = std::min(total_, done_ + steps);
  const std::uint64_t now = env_.TickMs();
  if (now - shown_at_ms_ >= kRedrawMs) {
    env_.ShowProgress(done_, total_);
    shown_at_ms_ = now;
  }
}

void Progress::Show() {
  env_.ShowProgress(done_, total_);
  shown_at_ms_ = env_.TickMs();
}

}  // namespace uninstall
