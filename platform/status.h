#pragma once
// Errors as values: a Status is success or a failure with a message.

#include <string>
#include <utility>

namespace platform {

class Status {
 public:
  static Status Ok() { return Status(); }
  static Status Fail(std::string message) { return Status(std::move(message)); }

  bool ok() const { return ok_; }
  explicit operator bool() const { return ok_; }
  const std::string& message() const { return message_; }

 private:
  Status() = default;
  explicit Status(std::string message) : ok_(false), message_(std::move(message)) {}

  bool ok_ = true;
  std::string message_;
};

}  // namespace platform
