#pragma once
// Text at the border to the system: the program keeps UTF-8, the system's
// wide-character calls take and give UTF-16. Also the handle owner and the
// error texts of platform/win32/.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/status.h"
#include "platform/win32/windows.h"

namespace platform {

// UTF-16 of UTF-8 text; bytes that are not valid UTF-8 become U+FFFD.
std::wstring Widen(std::string_view text);
// UTF-8 of UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::string Narrow(std::wstring_view text);
// A path for the system: UTF-16 with every slash turned into a backslash.
std::wstring WidePath(std::string_view path);

// The system's message for an error code, without the trailing line end.
std::string ErrorText(DWORD error);
// "what 'path': message" for the error code.
Status Failure(const std::string& what, const std::string& path, DWORD error);

// Seconds since 1970-01-01 UTC and the system's 100-nanosecond ticks since 1601.
std::int64_t SecondsFromFileTime(const FILETIME& time);
FILETIME FileTimeFromSeconds(std::int64_t seconds);

// An owned handle (file, process, snapshot, event), closed when the object
// goes away. INVALID_HANDLE_VALUE and null both mean none.
class UniqueHandle {
 public:
  explicit UniqueHandle(HANDLE handle = nullptr) noexcept : handle_(handle) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  void reset(HANDLE handle = nullptr) {
    if (valid()) ::CloseHandle(handle_);
    handle_ = handle;
  }
  HANDLE release() noexcept {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  // Closes now and says whether the close succeeded; true when none is held.
  bool close() {
    if (!valid()) {
      handle_ = nullptr;
      return true;
    }
    return ::CloseHandle(release()) != 0;
  }

 private:
  HANDLE handle_;
};

}  // namespace platform
