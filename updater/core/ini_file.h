#pragma once
// INI (profile) files: "[group]" lines followed by "key=value" lines.
//
// Reading follows the classic profile rules: group and key names are matched
// without regard to case, the first matching group and the first matching key
// in it win, names and values are trimmed of blanks and tabs, one enclosing
// pair of double quotes is removed from a value and a value is cut at 259
// UTF-16 code units. A missing file, group or key gives the caller's default.
//
// Writing changes only the line it has to: every other line keeps its bytes
// and its own line ending, and the file keeps its encoding, unless it is
// Windows-1252 and the change leaves bytes that would read back as UTF-8 with
// other characters: then it becomes UTF-8.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "updater/core/text.h"

class CIniFile {
 public:
  // Longest value handed out, in UTF-16 code units (a buffer of 260 with its terminator).
  static constexpr std::size_t kMaxValueUnits = 259;
  // Largest file that is read; larger files are refused.
  static constexpr std::uint64_t kMaxFileBytes = 16 * 1024 * 1024;

  // Reads the file. A missing file gives an empty document and success; a file
  // that exists but cannot be read (or is too large) fails and leaves the
  // document empty.
  platform::Status Load(const std::string& path);
  // Replaces the document by the given file bytes (any encoding DecodeTextFile knows).
  void Parse(std::string_view bytes);

  // The value of the first matching key in the first matching group, or the default.
  std::string GetValue(std::string_view group, std::string_view key,
                       std::string_view default_value) const;
  // True when the first matching group holds the key.
  bool HasValue(std::string_view group, std::string_view key) const;

  // Sets the value: replaces the first matching key's line in place, or adds
  // the key at the end of its group, or adds the group with the key at the end.
  // Refuses (returns false, nothing changed) an empty group or key and names
  // or values that would break the line structure (line breaks, NUL, "=" in a
  // key, "]" in a group, a key beginning with "[").
  bool SetValue(std::string_view group, std::string_view key, std::string_view value);
  // Removes the first matching key's line. True when the key is gone afterwards.
  bool DeleteKey(std::string_view group, std::string_view key);
  // Removes the first matching group with all its lines. True when it is gone afterwards.
  bool DeleteGroup(std::string_view group);

  // The document as file bytes in its encoding.
  std::string Serialize() const;
  // Writes the document through a temporary file renamed into place. A private
  // file gets mode 0600 (also when it existed with another mode).
  platform::Status Save(const std::string& path, bool private_file = false) const;

  TextEncoding encoding() const { return encoding_; }
  const std::string& line_ending() const { return newline_; }

 private:
  struct Line {
    std::string text;  // without the line ending
    std::string eol;   // "\r\n", "\n", "\r" or "" for a last line without one
  };

  // Index of the first line of the first matching group, or lines_.size().
  std::size_t FindGroup(std::string_view group) const;
  // One past the last line of the group that starts at header.
  std::size_t GroupEnd(std::size_t header) const;
  // Index of the first matching key line inside the group, or lines_.size().
  std::size_t FindKey(std::size_t header, std::string_view key) const;
  // Gives the last line a line ending so that lines can follow it.
  void EndLastLine();
  // SetValue without KeepReadable.
  bool PutValue(std::string_view group, std::string_view key, std::string_view value);
  // After a change: a Windows-1252 document whose bytes would no longer be
  // read as Windows-1252 (the change took away every byte that is not valid
  // UTF-8, so they would read as UTF-8 with other characters) becomes UTF-8.
  void KeepReadable();

  std::vector<Line> lines_;
  TextEncoding encoding_ = TextEncoding::kUtf8;
  std::string newline_ = "\r\n";
};

// Convenience forms in the shape of the profile functions.
std::string ReadIniValue(const std::string& file, std::string_view group, std::string_view key,
                         std::string_view default_value);
// Loads the file (a missing one is created), sets the value and saves it.
// Fails when the file cannot be read or written or the value is refused.
bool WriteIniValue(const std::string& file, std::string_view group, std::string_view key,
                   std::string_view value, bool private_file = false);
// Removes a key from the file; success when the key is absent afterwards.
// A missing file is left missing.
bool DeleteIniValue(const std::string& file, std::string_view group, std::string_view key,
                    bool private_file = false);
