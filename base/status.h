// How an operation ended: a code the program acts on, and a short English reason for
// people. vizorka-cli and rawconv print the reason; the window shows its own Hungarian
// message, chosen by the code. Readers, writers, conversions and commands all answer
// with this one type.
#pragma once

#include <string>
#include <utility>

namespace vz {

enum class StatusCode {
  kOk,
  kPartial,           // reading: part of the picture was kept; what is missing stays zero
  kNotThisFormat,     // the signature or header is not this format's
  kUnsupported,       // a well-formed file in a form the reader does not take
  kDamaged,           // fields contradict each other or the data, or nothing is left
  kTooLarge,          // beyond the picture limit
  kOutOfMemory,       // no memory for the work
  kCannotOpen,        // a file could not be opened or read
  kCannotWrite,       // a file could not be written
  kPermissionDenied,  // the target may not be written; it was left untouched
  kOverwritesInput,   // the target is one of the inputs; nothing was written
  kNotApplicable,     // the step cannot run on this picture (its menu item is greyed)
};

class Status {
 public:
  Status() = default;
  // Implicit, so that `return StatusCode::kDamaged;` reads naturally.
  Status(StatusCode code) : code_(code) {}  // NOLINT(google-explicit-constructor)
  Status(StatusCode code, std::string reason) : code_(code), reason_(std::move(reason)) {}

  StatusCode code() const { return code_; }
  bool ok() const { return code_ == StatusCode::kOk; }
  // The reason given, or the code's own words when none was.
  std::string reason() const { return reason_.empty() ? describe(code_) : reason_; }

  friend bool operator==(const Status& status, StatusCode code) { return status.code_ == code; }
  friend bool operator!=(const Status& status, StatusCode code) { return status.code_ != code; }

  // A few plain words for a code: "damaged", "out of memory".
  static const char* describe(StatusCode code);

 private:
  StatusCode code_ = StatusCode::kOk;
  std::string reason_;
};

inline const char* Status::describe(StatusCode code) {
  switch (code) {
    case StatusCode::kOk:
      return "ok";
    case StatusCode::kPartial:
      return "damaged; part of the picture was kept";
    case StatusCode::kNotThisFormat:
      return "not a picture of this format";
    case StatusCode::kUnsupported:
      return "unsupported variant";
    case StatusCode::kDamaged:
      return "damaged";
    case StatusCode::kTooLarge:
      return "too large";
    case StatusCode::kOutOfMemory:
      return "out of memory";
    case StatusCode::kCannotOpen:
      return "cannot be opened";
    case StatusCode::kCannotWrite:
      return "cannot be written";
    case StatusCode::kPermissionDenied:
      return "permission denied";
    case StatusCode::kOverwritesInput:
      return "would overwrite the input";
    case StatusCode::kNotApplicable:
      return "cannot run on this picture";
  }
  return "unknown";
}

}  // namespace vz
