// How far the removal stages have come, shown while they work.
//
// The stages count their work in steps: one a registry key of the deletion
// order, one a logged file, one a directory of the visit order, one a link
// removal and one the program group. Progress adds the steps up and, at
// most every kRedrawMs milliseconds of the clock, hands the count to the
// platform, which moves the window's progress bar and lets the window
// process what waits for it (repaints, attempts to close it), so that it
// never stops answering while the work goes on. Painting the bar is what
// this costs: under Wine about 1.5 ms a time, some 4% of an uninstall of
// 10,000 files. Painting less often saves most of that, but then a stage
// that takes a tenth of a second, like the folders of a large install,
// shows no step between its start and its end. Between two looks at the
// clock nothing else is done: a step costs one clock read.
#pragma once

#include <cstdint>

#include "platform/env.h"

namespace uninstall {

class Progress {
 public:
  static constexpr std::uint64_t kRedrawMs = 30;

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
  std::uint64_t shown_at_ms_;
};

// Steps `progress` when there is one.
inline void StepOf(Progress* progress, std::uint64_t steps = 1) {
  if (progress != nullptr) progress->Step(steps);
}

}  // namespace uninstall
