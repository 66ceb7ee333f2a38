#pragma once
// Names of zip entries: decoding them to UTF-8 and turning them into relative
// paths that cannot leave the folder they are extracted into.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Decodes bytes of the IBM PC code page 437, the encoding of zip entry names
// that are not marked as UTF-8.
std::string Cp437ToUtf8(std::string_view bytes);

// The name of an entry as its directory record stores it.
struct ZipRawName {
  std::string_view bytes;  // the name field
  bool utf8_flag = false;  // general-purpose flag bit 11
  unsigned host = 0;       // high byte of "version made by"
  std::string_view extra;  // the record's extra field
};

// The bytes a name is read from and whether they are UTF-8 (else code page 437).
struct ZipNameText {
  std::string bytes;
  bool utf8 = false;
};

// Chooses how a name is read, as the common unzip programs do: the UTF-8 name
// of a Unicode Path extra field (0x7075, version 1) whose checksum matches the
// CRC-32 of the name field; else the name field, as UTF-8 when the archive
// flags it so, or when it was made on a Unix host (whose archivers write the
// bytes of the file system, today UTF-8) and the bytes are valid UTF-8; else
// as code page 437.
ZipNameText ChooseZipEntryName(const ZipRawName& raw);

// True for a name that stands for the folder the archive is extracted into,
// such as "./" or "." (archivers write it for the folder they started from).
bool NamesTheFolderItself(std::string_view name);

// An entry name as a relative path: one or more components, none of them
// empty, ".", ".." or otherwise able to climb out of the destination.
struct ZipEntryPath {
  std::vector<std::string> components;
  bool ends_with_separator = false;  // the archive's mark of a folder entry

  // The components joined with '/'.
  std::string Joined() const;
};

// Decodes a raw entry name (UTF-8 when the archive marks it so, else code page
// 437), checks it and splits it at '/' and '\'. Refused, with the reason in
// *reason: an empty name, invalid UTF-8, a name longer than max_bytes after
// decoding, control characters, an absolute path ("/x", "\x"), a drive ("C:"),
// a ".." component or one made only of dots and blanks (which Windows reads
// as a parent reference), a component longer than 255 bytes, and a name that
// holds no component at all ("./").
std::optional<ZipEntryPath> ParseZipEntryName(std::string_view raw, bool utf8,
                                              std::size_t max_bytes, std::string* reason);
