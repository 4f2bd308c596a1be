// answer: runs a Windows program and answers its message boxes by a script.
//
//   answer.exe SCRIPT -- PROGRAM [ARGUMENTS...]
//
// Starts PROGRAM on a desktop made for this run (see UseOwnDesktop in
// process.h), then waits for each message box the script expects, reads
// it (title, text, buttons, icon), compares it with the expectation, and
// clicks the scripted button. Every box is printed as it is answered. When
// the script is done it waits for the program to end and checks that no
// further box appeared, its exit code, and whether its progress window
// (a top-level window of class "UninstallMfrm") was ever visible.
//
// Exit status: 0 all checks passed; 1 a check failed (the reason is printed
// on stderr, and the program is ended if it still runs); 2 bad usage or bad
// script; 3 the program could not be started.
//
// Script format: UTF-8 text, one setting per line as key=value. Blank lines
// and lines starting with '#' are ignored. Settings before the first "[box]"
// line apply to the whole run:
//
//   window=never|shown|any   the progress window must never be visible /
//                            must be visible at some point / is not checked
//                            (default any)
//   exit_code=N              the program's expected exit code (default: not
//                            checked)
//   box_timeout=SECONDS      how long to wait for each box (default 30)
//   exit_timeout=SECONDS     how long to wait for the program to end after
//                            the last box (default 30)
//   poll=MILLISECONDS        how often the windows are looked at while
//                            waiting (default 20); each look costs Wine
//                            server time, which timings may want to keep low
//   watch_max_ms=N           the longest answer a watch allows (default 250)
//   measure=yes|no           print "measure: ..." lines: when each box was
//                            seen and answered and when the program ended
//                            (milliseconds since its start), its start on
//                            the system clock, and its peak working set and
//                            peak pagefile usage (default no)
//
// Each "[box]" line starts the expectation for the next message box:
//
//   title=TEXT       the box's exact title (required)
//   style=N          the MessageBox style number: buttons (N & 0x0F) and
//                    icon (N & 0xF0), e.g. 36 Yes/No + question, 48 OK +
//                    exclamation, 53 Retry/Cancel + exclamation, 64 OK +
//                    information, 16 OK + stop (required)
//   text=TEXT        the box's exact text (required)
//   run=COMMAND      a command line run (and waited for, exit code 0
//                    required) after the box is checked and before it is
//                    answered, e.g. to clear a read-only attribute
//   close_main=yes   before answering, send WM_CLOSE to the progress window
//                    and require that it is still visible afterwards
//   watch=yes        after answering, until the next box appears or the
//                    program ends: every 50 ms send the progress window
//                    WM_NULL (SendMessageTimeout) and time its answer, and
//                    read its progress bar's position (PBM_GETPOS); once the
//                    bar has moved, send it WM_CLOSE and require that it
//                    stays. Printed: "watch: half way" when the bar passes
//                    its middle, then the number of samples, the longest
//                    answer and the positions seen. Fails when an answer
//                    takes watch_max_ms or longer (see above), when the
//                    position ever falls back, or when it never rose.
//   hold_half=FILE   with watch=yes: when the bar passes its middle, suspend
//                    every thread of the program, print "watch: held at POS
//                    of RANGE, window GEOMETRY, bar GEOMETRY" (WxH+X+Y on
//                    the screen), wait until FILE exists, delete it, resume
//                    the threads and print "watch: released". The window
//                    shows the bar as it was painted at the hold for as
//                    long as that lasts, e.g. for a screenshot.
//   kill=yes         instead of answering, end the program at once (as
//                    Task Manager does); the script's last box, with no
//                    answer, and no exit_code for the run
//   answer=BUTTON    ok, cancel, yes, no, retry, abort or ignore (required)
//
// In values, "\n" stands for a line feed, "\t" for a tab and "\\" for one
// backslash; any other backslash sequence is an error, so that a Windows
// path such as C:\new cannot silently turn into a line feed.
//
// The icon is identified by comparing the handle the box's icon control
// holds (STM_GETICON) with the shared system icons, and failing that by
// comparing the control's pixels on screen with each system icon drawn on
// the dialog's background.

#include <windows.h>
// After windows.h, which it needs. GetProcessMemoryInfo is kernel32's
// K32GetProcessMemoryInfo (PSAPI_VERSION 2): no import library needed.
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/e2e/answer_script.h"
#include "tests/e2e/box_reader.h"
#include "tests/e2e/process.h"
#include "tests/e2e/utf8.h"

namespace e2e {
namespace {

enum ExitStatus : int { kPassed = 0, kCheckFailed = 1, kBadUsage = 2, kStartFailed = 3 };

void Print(std::FILE* stream, const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}
void Say(const std::string& line) { Print(stdout, line); }
void Complain(const std::string& line) { Print(stderr, "answer: " + line); }

struct Failure {
  std::string what;
};

class Runner {
 public:
  using Clock = std::chrono::steady_clock;

  Runner(const Script& script, Process program, Clock::time_point started)
      : script_(script), program_(std::move(program)), started_(started) {}

  // Follows the script; throws Failure on the first check that fails.
  void Run() {
    for (std::size_t i = 0; i < script_.boxes.size(); ++i) Answer(i + 1, script_.boxes[i]);
    WaitForExit();
    CheckWindowRule();
  }

  void Kill() {
    if (!program_.Exited()) program_.Terminate(255, 5000);
  }

 private:
  WindowScan Observe() {
    WindowScan scan = Scan(program_.pid);
    if (scan.main_visible) main_shown_ = true;
    if (script_.measure) SampleMemory();
    return scan;
  }

  // Milliseconds since the program was started, for the measure lines.
  [[nodiscard]] long long Elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_).count();
  }

  void Measure(const std::string& what) const {
    Say("measure: " + what + " at " + std::to_string(Elapsed()) + " ms");
  }

  // The peaks only grow, so the last sample that succeeds holds them; a
  // sample while the program runs also covers systems that keep no counters
  // for a process that has ended.
  void SampleMemory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(program_.process.get(), &counters, sizeof(counters)) &&
        counters.PeakWorkingSetSize != 0) {
      peak_working_set_ = std::max(peak_working_set_, counters.PeakWorkingSetSize);
      peak_pagefile_ = std::max(peak_pagefile_, counters.PeakPagefileUsage);
    }
  }

  void ReportMemory() const {
    if (peak_working_set_ == 0) {
      Say("measure: memory counters unavailable");
      return;
    }
    Say("measure: peak working set " + std::to_string(peak_working_set_ / 1024) +
        " KiB, peak pagefile usage " + std::to_string(peak_pagefile_ / 1024) + " KiB");
  }

  // Polls until done() holds, observing the windows each time; throws
  // Failure with the text timeout once seconds have passed.
  template <typename Done>
  void PollUntil(int seconds, const std::string& timeout, Done done) {
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (!done(Observe())) {
      if (Clock::now() > deadline) throw Failure{timeout};
      std::this_thread::sleep_for(script_.poll);
    }
  }

  void Answer(std::size_t index, const BoxExpectation& want) {
    const std::string label = "box " + std::to_string(index);
    HWND box = WaitForBox(label);
    if (script_.measure) Measure(label + " seen");
    const BoxContent got = ReadBox(box);
    Check(label, want, got);

    if (want.run) RunCommand(label, *want.run);
    if (want.close_main) CloseMain(label);
    if (want.kill) {
      Say(label + ": " + Describe(got) + " -> the program is ended");
      program_.Terminate(1, 10000);
      return;
    }

    HWND button = GetDlgItem(box, *want.answer);
    if (button == nullptr || !IsWindowVisible(button)) {
      throw Failure{label + ": no button " + ButtonLabel(*want.answer)};
    }
    Say(label + ": " + Describe(got) + " -> " + ButtonLabel(*want.answer));
    if (watch_) EndWatch();
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    if (script_.measure) Measure(label + " answered");
    if (want.watch) watch_.emplace().hold_file = want.hold_half;
    PollUntil(script_.box_timeout_s, label + ": still open after the click",
              [box](const WindowScan&) { return !IsWindow(box) || !IsWindowVisible(box); });
  }

  HWND WaitForBox(const std::string& label) {
    HWND box = nullptr;
    PollUntil(script_.box_timeout_s,
              label + ": no message box within " + std::to_string(script_.box_timeout_s) + " s",
              [&](const WindowScan& scan) {
                if (watch_ && scan.boxes.empty()) WatchOnce(scan);
                if (scan.boxes.size() > 1) {
                  throw Failure{label + ": more than one message box is open"};
                }
                if (scan.boxes.size() == 1) box = scan.boxes.front();
                if (box == nullptr && program_.Exited()) {
                  throw Failure{label + ": the program ended (exit code " +
                                Hex(program_.ExitCode()) + ") before the box appeared"};
                }
                return box != nullptr;
              });
    return box;
  }

  static void Check(const std::string& label, const BoxExpectation& want, const BoxContent& got) {
    std::string problems;
    if (got.title != *want.title) {
      problems +=
          "\n  title: want \"" + Escaped(*want.title) + "\", got \"" + Escaped(got.title) + "\"";
    }
    if (got.text != *want.text) {
      problems += "\n  text:  want \"" + Escaped(*want.text) + "\",\n         got  \"" +
                  Escaped(got.text) + "\"";
    }
    const ButtonSet want_buttons = *ButtonsOfStyle(*want.style);
    if (got.buttons != want_buttons) {
      problems += "\n  buttons: want " + ButtonSetText(want_buttons) + ", got " +
                  ButtonSetText(got.buttons);
    }
    const std::string want_icon = std::string("\n  icon: want ") + IconName(*want.style & 0xF0u);
    if (!got.icon) {
      problems += want_icon + ", but the box's icon could not be identified";
    } else if (*got.icon != (*want.style & 0xF0u)) {
      problems += want_icon + ", got " + IconName(*got.icon) + " (by " + got.icon_method + ")";
    }
    if (!problems.empty()) {
      throw Failure{label + " (script line " + std::to_string(want.line) +
                    ") differs from the expectation:" + problems + "\n  seen: " + Describe(got)};
    }
  }

  static void RunCommand(const std::string& label, const std::wstring& command) {
    std::string quoted = Narrow(command);
    quoted = '"' + quoted + '"';
    Say(label + ": run " + Narrow(command));
    const auto child = Start(command);
    if (!child) {
      throw Failure{label + ": cannot start " + quoted + " (error " +
                    std::to_string(GetLastError()) + ")"};
    }
    if (WaitForSingleObject(child->process.get(), 60000) != WAIT_OBJECT_0) {
      child->Terminate(255, 0);
      throw Failure{label + ": " + quoted + " did not end within 60 s"};
    }
    if (child->ExitCode() != 0) {
      throw Failure{label + ": " + quoted + " failed with exit code " + Hex(child->ExitCode())};
    }
  }

  void CloseMain(const std::string& label) {
    HWND main = nullptr;
    for (HWND w : Observe().mains) {
      if (IsWindowVisible(w)) main = w;
    }
    if (main == nullptr) throw Failure{label + ": no visible progress window to close"};
    // Sent rather than posted, so that the window has handled it when the
    // call returns; the modal box's message loop dispatches it.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(main, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (!IsWindow(main) || !IsWindowVisible(main)) {
      throw Failure{label + ": the progress window closed on WM_CLOSE"};
    }
    Say(label + ": WM_CLOSE sent to the progress window; it stays open");
  }

  void WaitForExit() {
    PollUntil(script_.exit_timeout_s,
              "the program did not end within " + std::to_string(script_.exit_timeout_s) +
                  " s after the last box",
              [&](const WindowScan& scan) {
                if (watch_ && scan.boxes.empty() && !program_.Exited()) WatchOnce(scan);
                if (!scan.boxes.empty()) {
                  throw Failure{"an unexpected message box appeared: " +
                                Describe(ReadBox(scan.boxes.front()))};
                }
                return program_.Exited();
              });
    if (watch_) EndWatch();
    if (script_.measure) {
      Measure("program ended");
      SampleMemory();
      ReportMemory();
    }
    const DWORD code = program_.ExitCode();
    Say("exit code " + std::to_string(code));
    if (script_.exit_code && code != *script_.exit_code) {
      throw Failure{"exit code " + Hex(code) + ", want " + Hex(*script_.exit_code)};
    }
  }

  // What a watch saw of the progress window while the program worked.
  struct Watch {
    std::optional<std::wstring> hold_file;  // hold_half: held until it exists
    Clock::time_point next = Clock::now();
    int samples = 0;
    long long longest_ms = 0;
    std::vector<int> positions;  // each change of the bar's position
    int range = 0;
    bool half_said = false;
    bool close_tried = false;
  };

  // One sample of a watch, every 50 ms at most.
  void WatchOnce(const WindowScan& scan) {
    Watch& watch = *watch_;
    if (Clock::now() < watch.next || scan.mains.empty()) return;
    watch.next = Clock::now() + std::chrono::milliseconds(50);
    HWND main = scan.mains.front();
    DWORD_PTR ignored = 0;
    const auto sent = Clock::now();
    const LRESULT answered = SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count();
    if (answered == 0 && program_.Exited()) return;
    ++watch.samples;
    watch.longest_ms = std::max(watch.longest_ms, answered == 0 ? 5000LL : ms);

    const auto bar = ReadBar(main);
    if (bar && bar->bar == nullptr) throw Failure{"watch: the progress window has no progress bar"};
    if (!bar) return;
    watch.range = bar->range;
    const int pos = bar->position;
    if (watch.positions.empty() || watch.positions.back() != pos) watch.positions.push_back(pos);
    if (!watch.half_said && watch.range > 0 && pos * 2 >= watch.range) {
      watch.half_said = true;
      Say("watch: half way (" + std::to_string(pos) + " of " + std::to_string(watch.range) + ")");
      if (watch.hold_file) HoldHalfWay(main, *bar, *watch.hold_file);
    }
    // Once the work is under way, the user tries to close the window.
    if (!watch.close_tried && pos > 0) {
      watch.close_tried = true;
      SendMessageTimeoutW(main, WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &ignored);
      if (!program_.Exited() && !IsWindowVisible(main)) {
        throw Failure{"watch: the progress window closed on WM_CLOSE during the work"};
      }
      Say("watch: WM_CLOSE during the work refused");
    }
  }

  // The program stands still, its window as last painted, until the file
  // appears. Nothing is sent to the window meanwhile: no thread would answer.
  void HoldHalfWay(HWND main, const BarState& bar, const std::wstring& file) {
    {
      const SuspendedThreads held(program_.pid);
      Say("watch: held at " + std::to_string(bar.position) + " of " + std::to_string(bar.range) +
          ", window " + Geometry(main) + ", bar " + Geometry(bar.bar) + " (" +
          std::to_string(held.count()) + " threads)");
      const auto deadline = Clock::now() + std::chrono::seconds(script_.box_timeout_s);
      while (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (Clock::now() > deadline) {
          throw Failure{"watch: " + Narrow(file) + " did not appear within " +
                        std::to_string(script_.box_timeout_s) + " s of the hold"};
        }
        std::this_thread::sleep_for(script_.poll);
      }
      DeleteFileW(file.c_str());
    }
    Say("watch: released");
    // The hold is no answer time of the window's.
    watch_->next = Clock::now();
  }

  void EndWatch() {
    const Watch watch = *watch_;
    watch_.reset();
    std::string seen;
    for (const int pos : watch.positions) {
      if (!seen.empty()) seen += ' ';
      seen += std::to_string(pos);
    }
    Say("watch: " + std::to_string(watch.samples) + " samples, longest answer " +
        std::to_string(watch.longest_ms) + " ms, positions " + seen + " of " +
        std::to_string(watch.range));
    if (watch.longest_ms >= script_.watch_max_ms) {
      throw Failure{"watch: the progress window took " + std::to_string(watch.longest_ms) +
                    " ms to answer, " + std::to_string(script_.watch_max_ms) + " ms allowed"};
    }
    if (!std::is_sorted(watch.positions.begin(), watch.positions.end())) {
      throw Failure{"watch: the progress bar went back"};
    }
    if (watch.positions.size() < 2) throw Failure{"watch: the progress bar never moved"};
  }

  void CheckWindowRule() const {
    Say(std::string("progress window ") + (main_shown_ ? "was shown" : "never shown"));
    if (script_.window == WindowRule::kNever && main_shown_) {
      throw Failure{"the progress window was shown, but the script says never"};
    }
    if (script_.window == WindowRule::kShown && !main_shown_) {
      throw Failure{"the progress window was never shown, but the script says shown"};
    }
  }

  const Script& script_;
  Process program_;
  Clock::time_point started_;
  bool main_shown_ = false;
  std::optional<Watch> watch_;
  SIZE_T peak_working_set_ = 0;
  SIZE_T peak_pagefile_ = 0;
};

int Main(int argc, wchar_t** argv) {
  if (argc < 4 || std::wstring_view(argv[2]) != L"--") {
    Complain("usage: answer.exe SCRIPT -- PROGRAM [ARGUMENTS...]");
    return kBadUsage;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    Complain("cannot read the script " + Narrow(argv[1]));
    return kBadUsage;
  }
  Script script;
  try {
    script = ParseScript(in);
  } catch (const ScriptError& e) {
    Complain(Narrow(argv[1]) + ":" + std::to_string(e.line) + ": " + e.what);
    return kBadUsage;
  }

  std::wstring command_line;
  for (int i = 3; i < argc; ++i) {
    if (i > 3) command_line += L' ';
    command_line += Quote(argv[i]);
  }
  if (!UseOwnDesktop()) {
    Complain("cannot make a desktop of its own (error " + std::to_string(GetLastError()) + ")");
    return kStartFailed;
  }
  // With measure=yes, the start on the system clock (ms since 1970), for
  // timings that end in another process, e.g. one the program starts.
  FILETIME start_time{};
  GetSystemTimeAsFileTime(&start_time);
  const auto started = Runner::Clock::now();
  auto program = Start(command_line);
  if (!program) {
    Complain("cannot start " + Narrow(command_line) + " (error " + std::to_string(GetLastError()) +
             ")");
    return kStartFailed;
  }
  if (script.measure) {
    constexpr std::uint64_t kTicksPerMs = 10000;
    constexpr std::uint64_t kUnixEpochMs = 11644473600000;  // 1601-01-01 to 1970-01-01
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(start_time.dwHighDateTime) << 32) | start_time.dwLowDateTime;
    Say("measure: program started at " + std::to_string(ticks / kTicksPerMs - kUnixEpochMs) +
        " ms system time");
  }
  Runner runner(script, std::move(*program), started);
  try {
    runner.Run();
  } catch (const Failure& f) {
    Complain("FAILED: " + f.what);
    runner.Kill();
    return kCheckFailed;
  }
  Say("all checks passed");
  return kPassed;
}

}  // namespace
}  // namespace e2e

int wmain(int argc, wchar_t** argv) { return e2e::Main(argc, argv); }
