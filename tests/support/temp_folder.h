#pragma once
// A fresh folder for one test, removed with everything in it at the end.
// Its paths have the platform's separators.

#include <string>
#include <string_view>

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name, with the platform's separators
  std::string operator/(std::string_view name) const;
  // Writes a file below the folder (parents created) and returns its path.
  std::string Write(std::string_view name, std::string_view bytes) const;
  // Reads a file below the folder; empty when missing.
  std::string Read(std::string_view name) const;

 private:
  std::string path_;
};
