#pragma once
// Reads a regular file piece by piece (files of any size, with progress).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/status.h"

namespace platform {

class NativeFile;

class FileReader {
 public:
  FileReader();
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  // Opens a regular file (links followed); anything else fails.
  Status Open(const std::string& path);
  // Reads up to size bytes; 0 at the end of the file, nullopt on an error.
  std::optional<std::size_t> Read(char* buffer, std::size_t size);
  // Moves the next read to the offset from the start; fails beyond the size.
  Status Seek(std::uint64_t offset);
  // Size of the open file when it was opened.
  std::uint64_t Size() const { return size_; }
  void Close();

 private:
  std::unique_ptr<NativeFile> file_;
  std::uint64_t size_ = 0;
};

}  // namespace platform
