#pragma once
// Writes small zip archives for tests, faults included on request.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ZipTestEntry {
  std::string name;  // raw bytes of the name, as stored
  std::string data;
  bool deflate = false;
  bool utf8_flag = false;  // general-purpose flag bit 11
  bool encrypted_flag = false;
  std::uint16_t version_made_by = (3 << 8) | 20;  // Unix, 2.0
  std::uint32_t external_attributes = 0100644u << 16;
  std::uint16_t dos_date = ((2021 - 1980) << 9) | (6 << 5) | 15;  // 2021-06-15
  std::uint16_t dos_time = (13 << 11) | (45 << 5) | (30 / 2);     // 13:45:30
  std::optional<std::uint32_t> crc;                               // a wrong checksum on request
  std::optional<std::uint64_t> uncompressed_size;  // a wrong declared size on request
  std::string extra;   // extra field of the local header and the directory record
  bool zip64 = false;  // sizes in a ZIP64 extra field, 0xFFFFFFFF in the headers
  // When set, the data is this many zero bytes (data is ignored), deflated
  // without ever being held whole: for entries of several gigabytes.
  std::optional<std::uint64_t> zeros;
};

// A file entry with Unix mode bits (type bits added).
ZipTestEntry ZipFile(std::string name, std::string data, unsigned mode = 0644,
                     bool deflate = false);
// A folder entry; the name should end with '/'.
ZipTestEntry ZipFolder(std::string name);
// An entry that a Unix archiver writes for a symbolic link: the data is the link's target.
ZipTestEntry ZipSymlink(std::string name, std::string target);

// A Unicode Path extra field (0x7075) giving utf8_name for the raw name.
std::string UnicodePathField(const std::string& raw_name, const std::string& utf8_name);

// The bytes of an archive holding the entries in order.
std::string MakeZip(const std::vector<ZipTestEntry>& entries);
