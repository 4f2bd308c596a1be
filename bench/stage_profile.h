// Where the system calls of an uninstall go, stage by stage and by kind of
// call: the core of stage_calls, on the fake machine (stage_calls.cc) and
// on Windows (stage_calls_win32.cc).
#pragma once

#include <string>

#include "platform/env.h"

namespace uninstall::bench {

// Runs the uninstall of the install whose Uninstall.exe would be
// `executable`, on `machine`, as Uninstall.exe runs it but each step counted
// apart, with the confirmation answered Yes and no final pause, and prints
// the calls of each stage by kind (with their time when `timed`) and the
// calls per logged file.
void Profile(Env& machine, const std::wstring& executable, bool timed);

}  // namespace uninstall::bench
