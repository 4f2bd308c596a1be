// Result types for operations that reach the operating system.
//
// A failing platform call reports a Win32 error code (0 means success), the
// same number on Windows and in the in-memory fake, so the callers' decisions
// ("missing", "in use", "access denied") read the same on both.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

namespace uninstall {

using ErrorCode = std::uint32_t;

inline constexpr ErrorCode kErrorSuccess = 0;
inline constexpr ErrorCode kErrorFileNotFound = 2;
inline constexpr ErrorCode kErrorPathNotFound = 3;
inline constexpr ErrorCode kErrorAccessDenied = 5;
inline constexpr ErrorCode kErrorNotEnoughMemory = 8;
inline constexpr ErrorCode kErrorInvalidDrive = 15;
inline constexpr ErrorCode kErrorNotReady = 21;
inline constexpr ErrorCode kErrorSharingViolation = 32;
inline constexpr ErrorCode kErrorBadNetPath = 53;
inline constexpr ErrorCode kErrorBadNetName = 67;
inline constexpr ErrorCode kErrorInvalidParameter = 87;
inline constexpr ErrorCode kErrorInvalidName = 123;
inline constexpr ErrorCode kErrorDirNotEmpty = 145;
inline constexpr ErrorCode kErrorBadPathName = 161;
inline constexpr ErrorCode kErrorDirectory = 267;
inline constexpr ErrorCode kErrorNoWindowStation = 1400;

// Outcome of an operation without a value.
class [[nodiscard]] Status {
 public:
  constexpr Status() = default;
  constexpr explicit Status(ErrorCode code) : code_(code) {}
  static constexpr Status Ok() { return Status(); }

  [[nodiscard]] constexpr bool ok() const { return code_ == kErrorSuccess; }
  [[nodiscard]] constexpr ErrorCode code() const { return code_; }

 private:
  ErrorCode code_ = kErrorSuccess;
};

// A value, or the error code of the call that failed to produce it.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}      // NOLINT(google-explicit-constructor)
  Result(Status failure) : code_(failure.code()) {}  // NOLINT(google-explicit-constructor)
  static Result Fail(ErrorCode code) {
    return Result(Status(code == 0 ? kErrorInvalidParameter : code));
  }

  [[nodiscard]] bool ok() const { return value_.has_value(); }
  [[nodiscard]] ErrorCode code() const { return code_; }
  [[nodiscard]] const T& value() const& { return *value_; }
  [[nodiscard]] T& value() & { return *value_; }
  [[nodiscard]] T&& value() && { return std::move(*value_); }

 private:
  std::optional<T> value_;
  ErrorCode code_ = kErrorSuccess;
};

}  // namespace uninstall
