// Starting a program, waiting for it, and holding its threads still.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/handles.h"

namespace e2e {

struct Process {
  uninstall::win32::UniqueHandle process;
  DWORD pid = 0;

  [[nodiscard]] bool Exited() const;
  [[nodiscard]] DWORD ExitCode() const;
  // Ends it as Task Manager does, and waits up to wait_ms for the end.
  void Terminate(UINT code, DWORD wait_ms) const;
};

// Quotes one argument so that CommandLineToArgvW gives it back unchanged.
std::wstring Quote(std::wstring_view arg);

std::optional<Process> Start(std::wstring command_line);

// Moves the calling thread, and so every program it starts, to a desktop
// of its own, new for this run; false when that fails. Under Wine the
// server closes a desktop one second after its last user other than the
// desktop window's owner (explorer) leaves: it hides the desktop's name and
// tells explorer to quit. A run that starts on the desktop an earlier Wine
// process (cmd, regedit, a previous run) left, within that second, is on a
// desktop being closed; that is the likely way a program once ended without
// its message box ever seen. No earlier process uses a new desktop, and
// this thread uses it until the program has ended.
bool UseOwnDesktop();

// Every thread of a process suspended for the life of the object: nothing
// in it runs or paints until the threads are resumed at its end.
class SuspendedThreads {
 public:
  explicit SuspendedThreads(DWORD pid);
  ~SuspendedThreads();
  SuspendedThreads(const SuspendedThreads&) = delete;
  SuspendedThreads& operator=(const SuspendedThreads&) = delete;
  [[nodiscard]] std::size_t count() const { return threads_.size(); }

 private:
  std::vector<uninstall::win32::UniqueHandle> threads_;
};

// "0x" and the value in hexadecimal, as exit codes are printed.
std::string Hex(DWORD v);

}  // namespace e2e
