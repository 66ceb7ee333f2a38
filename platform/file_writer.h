#pragma once
// Writes a file in place, piece by piece: a new file, or more bytes at the end
// of one that exists (a log, a download that continues). Readers may see a
// part of the content; AtomicFileWriter is for files that must never show one.

#include <memory>
#include <string>
#include <string_view>

#include "platform/file_permissions.h"
#include "platform/status.h"

namespace platform {

class NativeFile;

// Where the writing starts.
enum class WriteStart {
  kEmpty,  // the file is created or emptied
  kAtEnd,  // the file is created or its bytes are kept and the writes append
};

class FileWriter {
 public:
  FileWriter();
  // Closes the file.
  ~FileWriter();
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;

  // Opens the file for writing (a file open before is closed first). A new
  // file gets the permissions; one that exists keeps its own unless existing
  // says otherwise. A symbolic link at path is followed.
  Status Open(const std::string& path, WriteStart start,
              FilePermissions permissions = FilePermissions::kNormal,
              ExistingPermissions existing = ExistingPermissions::kKeep);
  // Writes all bytes (each piece reaches the file before the call returns);
  // fails when no file is open or the system refuses them.
  Status Write(std::string_view bytes);
  // Closes the file; fails when the last bytes could not be written.
  Status Close();

  bool is_open() const { return file_ != nullptr; }

 private:
  std::unique_ptr<NativeFile> file_;
  std::string path_;
};

}  // namespace platform
