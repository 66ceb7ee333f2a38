#pragma once
// Writes a file in pieces under a temporary name beside its final path and
// renames it into place only when every piece was written, so that the final
// name never shows a part of the content.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_permissions.h"
#include "platform/status.h"

namespace platform {

class NativeFile;

class AtomicFileWriter {
 public:
  AtomicFileWriter();
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
  // Gives the temporary file its permissions and, when given, its
  // modification time in seconds since the epoch (the access time is left
  // alone), then renames it onto the final path. A file or symbolic link at the
  // final path is replaced, never written through; a folder there makes the
  // commit fail.
  Status Commit(FilePermissions permissions, std::optional<std::int64_t> modification_time);
  // The same for a copy of the file source: the permissions are those of the
  // regular file being replaced, or of source when there is none, made
  // writable by the user (special bits such as set-id are dropped).
  Status CommitAsCopyOf(const std::string& source, std::optional<std::int64_t> modification_time);
  // Closes and removes the temporary file.
  void Discard();

  bool is_open() const { return file_ != nullptr; }

 private:
  Status Finish(std::optional<std::int64_t> modification_time);

  std::unique_ptr<NativeFile> file_;
  std::string path_;
  std::string temp_;
  // The committed file gets the read-only attribute (Windows; the permission
  // bits say it on Linux).
  [[maybe_unused]] bool read_only_ = false;
};

}  // namespace platform
