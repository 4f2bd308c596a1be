// hold: keeps a file open without sharing, as another program might, until
// it is told to let go.
//
//   hold.exe hold TAG PATH [SECONDS]   open PATH for reading with no sharing
//                                      at all (no read, write or delete by
//                                      anyone else), print "held" and wait
//                                      until released or SECONDS (default
//                                      120) have passed; then close it
//   hold.exe release TAG               tell the holder TAG to let go and wait
//                                      until it has closed the file
//
// TAG names the pair of named events the two modes meet at; several holders
// with different tags can run at once. The holder prints "held" only once the
// file is open, so a caller can wait for that line before it starts the
// program that is to meet the locked file.
//
// Exit status: 0 done; 1 the file could not be opened, or the release found
// no holder or timed out; 2 bad usage; 3 the holder was never released.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/win32/handles.h"

namespace {

using uninstall::win32::UniqueHandle;

constexpr DWORD kReleaseWaitMs = 30000;

// The events of holder TAG: set by the releaser, and set by the holder once
// the file is closed.
std::wstring ReleaseEventName(const std::wstring& tag) { return L"Local\\e2e_hold_release_" + tag; }
std::wstring ClosedEventName(const std::wstring& tag) { return L"Local\\e2e_hold_closed_" + tag; }

int Hold(const std::wstring& tag, const std::wstring& path, DWORD seconds) {
  UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, ReleaseEventName(tag).c_str()));
  UniqueHandle closed(CreateEventW(nullptr, TRUE, FALSE, ClosedEventName(tag).c_str()));
  if (!release || !closed) {
    static_cast<void>(std::fwprintf(stderr,
                                    L"hold: cannot create the events of '%ls' (error %lu)\n",
                                    tag.c_str(), GetLastError()));
    return 1;
  }
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    static_cast<void>(std::fwprintf(stderr, L"hold: cannot open '%ls' (error %lu)\n", path.c_str(),
                                    GetLastError()));
    return 1;
  }
  static_cast<void>(std::fputs("held\n", stdout));
  static_cast<void>(std::fflush(stdout));

  const DWORD waited = WaitForSingleObject(release.get(), seconds * 1000);
  file.reset();
  SetEvent(closed.get());
  if (waited != WAIT_OBJECT_0) {
    static_cast<void>(std::fwprintf(stderr, L"hold: '%ls' was never released\n", tag.c_str()));
    return 3;
  }
  return 0;
}

int Release(const std::wstring& tag) {
  UniqueHandle release(OpenEventW(EVENT_MODIFY_STATE, FALSE, ReleaseEventName(tag).c_str()));
  UniqueHandle closed(OpenEventW(SYNCHRONIZE, FALSE, ClosedEventName(tag).c_str()));
  if (!release || !closed) {
    static_cast<void>(std::fwprintf(stderr, L"hold: no holder '%ls' is running\n", tag.c_str()));
    return 1;
  }
  SetEvent(release.get());
  if (WaitForSingleObject(closed.get(), kReleaseWaitMs) != WAIT_OBJECT_0) {
    static_cast<void>(
        std::fwprintf(stderr, L"hold: holder '%ls' did not let go in time\n", tag.c_str()));
    return 1;
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"hold" && (argc == 4 || argc == 5)) {
    const DWORD seconds = argc == 5 ? static_cast<DWORD>(std::wcstoul(argv[4], nullptr, 10)) : 120;
    return Hold(argv[2], argv[3], seconds);
  }
  if (mode == L"release" && argc == 3) return Release(argv[2]);
  static_cast<void>(
      std::fputs("usage: hold.exe hold TAG PATH [SECONDS] | hold.exe release TAG\n", stderr));
  return 2;
}
