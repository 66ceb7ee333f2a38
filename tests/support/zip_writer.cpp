#include "tests/support/zip_writer.h"

#include <zlib.h>

#include <stdexcept>

namespace {

void Put16(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

std::string Deflate(const std::string& data) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK)
    throw std::runtime_error("deflateInit2 failed");
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate failed");
  return out;
}

}  // namespace

ZipTestEntry ZipFile(std::string name, std::string data, unsigned mode, bool deflate) {
  ZipTestEntry entry;
  entry.name = std::move(name);
  entry.data = std::move(data);
  entry.deflate = deflate;
  entry.external_attributes = (0100000u | mode) << 16;
  return entry;
}

ZipTestEntry ZipFolder(std::string name) {
  ZipTestEntry entry;
  entry.name = std::move(name);
  entry.external_attributes = (0040755u << 16) | 0x10;
  return entry;
}

ZipTestEntry ZipSymlink(std::string name, std::string target) {
  ZipTestEntry entry;
  entry.name = std::move(name);
  entry.data = std::move(target);
  entry.external_attributes = 0120777u << 16;
  return entry;
}

std::string MakeZip(const std::vector<ZipTestEntry>& entries) {
  std::string out, directory;
  for (const auto& entry : entries) {
    std::string stored = entry.deflate ? Deflate(entry.data) : entry.data;
    std::uint32_t crc = entry.crc.value_or(
        static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()),
                                         static_cast<uInt>(entry.data.size()))));
    auto size = static_cast<std::uint32_t>(entry.uncompressed_size.value_or(entry.data.size()));
    std::uint16_t flags = (entry.utf8_flag ? 0x0800 : 0) | (entry.encrypted_flag ? 0x0001 : 0);
    std::uint16_t method = entry.deflate ? 8 : 0;
    auto offset = static_cast<std::uint32_t>(out.size());

    Put32(out, 0x04034b50);
    Put16(out, 20);
    Put16(out, flags);
    Put16(out, method);
    Put16(out, entry.dos_time);
    Put16(out, entry.dos_date);
    Put32(out, crc);
    Put32(out, static_cast<std::uint32_t>(stored.size()));
    Put32(out, size);
    Put16(out, static_cast<std::uint32_t>(entry.name.size()));
    Put16(out, 0);
    out += entry.name;
    out += stored;

    Put32(directory, 0x02014b50);
    Put16(directory, entry.version_made_by);
    Put16(directory, 20);
    Put16(directory, flags);
    Put16(directory, method);
    Put16(directory, entry.dos_time);
    Put16(directory, entry.dos_date);
    Put32(directory, crc);
    Put32(directory, static_cast<std::uint32_t>(stored.size()));
    Put32(directory, size);
    Put16(directory, static_cast<std::uint32_t>(entry.name.size()));
    Put16(directory, 0);  // extra field
    Put16(directory, 0);  // comment
    Put16(directory, 0);  // disk
    Put16(directory, 0);  // internal attributes
    Put32(directory, entry.external_attributes);
    Put32(directory, offset);
    directory += entry.name;
  }
  auto directory_offset = static_cast<std::uint32_t>(out.size());
  out += directory;
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<std::uint32_t>(entries.size()));
  Put16(out, static_cast<std::uint32_t>(entries.size()));
  Put32(out, static_cast<std::uint32_t>(directory.size()));
  Put32(out, directory_offset);
  Put16(out, 0);
  return out;
}
