#include "updater/tasks/install/zip_extra_field.h"

std::uint64_t ReadLittleEndian(std::string_view bytes, std::size_t at, std::size_t count) {
  std::uint64_t value = 0;
  for (std::size_t i = count; i-- > 0;)
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

std::optional<std::string_view> FindZipExtraField(std::string_view extra, std::uint16_t id) {
  std::size_t at = 0;
  while (extra.size() - at >= 4) {
    auto field_id = ReadLittleEndian(extra, at, 2);
    auto size = static_cast<std::size_t>(ReadLittleEndian(extra, at + 2, 2));
    at += 4;
    if (size > extra.size() - at) return std::nullopt;
    if (field_id == id) return extra.substr(at, size);
    at += size;
  }
  return std::nullopt;
}
