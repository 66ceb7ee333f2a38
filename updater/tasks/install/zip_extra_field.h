#pragma once
// The extra field of a zip entry: a list of fields, each a 16-bit id, a 16-bit
// size and that many bytes of data, all numbers little-endian.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

constexpr std::uint16_t kZip64Field = 0x0001;
constexpr std::uint16_t kUnicodePathField = 0x7075;

// The data of the first field with the id; nullopt when there is none. The
// walk stays within the extra field and ends at a field that overruns it.
std::optional<std::string_view> FindZipExtraField(std::string_view extra, std::uint16_t id);

// The little-endian number of count bytes (at most 8) at the offset; the
// caller checks the bounds.
std::uint64_t ReadLittleEndian(std::string_view bytes, std::size_t at, std::size_t count);
