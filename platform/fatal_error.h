// An error that nothing in the program traps.
//
// The flow, the log reader and the log writer do not handle failures of their
// own operations (a log that cannot be opened, a negative string length).
// They throw FatalError; the entry point reports it in a message box and ends
// the process with a non-zero exit code, so nothing after the failing point
// runs.
#pragma once

#include <stdexcept>
#include <string>

#include "platform/status.h"

namespace uninstall {

class FatalError : public std::runtime_error {
 public:
  explicit FatalError(std::wstring message, ErrorCode code = kErrorSuccess)
      : std::runtime_error("uninstall: fatal error"), message_(std::move(message)), code_(code) {}

  // What failed, for the user, e.g. "The install log 'C:\App\Uninstall.dat' could not be read."
  [[nodiscard]] const std::wstring& message() const { return message_; }
  // The platform's error code, or 0 when the failure has none.
  [[nodiscard]] ErrorCode code() const { return code_; }

 private:
  std::wstring message_;
  ErrorCode code_;
};

}  // namespace uninstall
