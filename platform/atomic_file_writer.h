#pragma once
// Writes a file in pieces under a temporary name beside its final path and
// renames it into place only when every piece was written, so that the final
// name never shows a part of the content.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace platform {

class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  // Removes the temporary file unless it was committed.
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Creates a new, private temporary file in the folder of path. The temporary
  // file is created exclusively and never through a symbolic link. When given,
  // before_create is told each temporary name before a file of that name is
  // created (so that a record of it can outlive a killed process); when it
  // fails, nothing is created and Open fails.
  Status Open(const std::string& path,
              const std::function<Status(const std::string& temporary)>& before_create = {});
  Status Write(std::string_view bytes);
  // Gives the temporary file its permission bits (only 0777 of mode are used)
  // and, when given, its modification time in seconds since the epoch (the
  // access time is left alone), then renames it onto the final path. A file or
  // symbolic link at the final path is replaced, never written through; a
  // folder there makes the commit fail.
  Status Commit(unsigned mode, std::optional<std::int64_t> modification_time);
  // Closes and removes the temporary file.
  void Discard();

  bool is_open() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  std::string path_;
  std::string temp_;
};

}  // namespace platform
