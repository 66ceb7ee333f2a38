#pragma once
// A file that only grows, for records that must survive the end of the
// process: each append is one write at the end of the file, and Sync() makes
// what was appended durable before the caller goes on.

#include <memory>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace platform {

class NativeFile;

class AppendOnlyFile {
 public:
  AppendOnlyFile();
  ~AppendOnlyFile();
  AppendOnlyFile(const AppendOnlyFile&) = delete;
  AppendOnlyFile& operator=(const AppendOnlyFile&) = delete;

  // Opens the regular file for appending, never through a symbolic link. With
  // create, a missing file is made (private to the user) and its folder entry is made
  // durable; without it, a missing file fails.
  Status Open(const std::string& path, bool create);
  // Writes the bytes at the end of the file.
  Status Append(std::string_view bytes);
  // Makes every appended byte durable (the data reaches the disk).
  Status Sync();
  void Close();

  bool is_open() const { return file_ != nullptr; }

 private:
  std::unique_ptr<NativeFile> file_;
  std::string path_;
};

// Makes the entries of a folder (files created, renamed or removed in it)
// durable.
Status SyncFolder(const std::string& folder);

}  // namespace platform
