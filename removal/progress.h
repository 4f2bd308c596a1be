// How far the removal stages have come, shown while they work.
//
// The stages count their work in steps: one a registry key of the deletion
// order, one a logged file, one a directory of the visit order, one a link
// removal and one the program group. Progress adds the steps up and, at
// most every kServeMs milliseconds of the clock, hands a count to the
// platform, which moves the window's progress bar when the count changed
// and lets the window process what waits for it (repaints, attempts to
// close it), so that it never stops answering while the work goes on. The
// count it hands on changes at most every kRedrawMs: moving the bar means
// painting it, which costs far more than serving the window's messages.
// Under Wine a paint takes about a millisecond and a look at the messages a
// tenth of that: painted every 30 ms, the window took 5% of an uninstall of
// 10,000 files; at these rates it takes under 1%. Between two looks at the
// clock nothing else is done: a step costs one clock read.
#pragma once

#include <cstdint>

#include "platform/env.h"

namespace uninstall {

class Progress {
 public:
  static constexpr std::uint64_t kServeMs = 50;
  static constexpr std::uint64_t kRedrawMs = 200;

  // `total` is the number of steps of the whole uninstall.
  Progress(Env& env, std::uint64_t total);

  // Counts `steps` more steps as done.
  void Step(std::uint64_t steps = 1);
  // Shows the count now, whatever the clock says (the end of the work).
  void Show();

  [[nodiscard]] std::uint64_t done() const { return done_; }
  [[nodiscard]] std::uint64_t total() const { return total_; }

 private:
  Env& env_;
  std::uint64_t total_;
  std::uint64_t done_ = 0;
  std::uint64_t shown_ = 0;  // the count the bar shows
  std::uint64_t served_at_ms_;
  std::uint64_t shown_at_ms_;
};

// Steps `progress` when there is one.
inline void StepOf(Progress* progress, std::uint64_t steps = 1) {
  if (progress != nullptr) progress->Step(steps);
}

}  // namespace uninstall
