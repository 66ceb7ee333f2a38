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

void Put64(std::string& out, std::uint64_t value) {
  Put32(out, static_cast<std::uint32_t>(value));
  Put32(out, static_cast<std::uint32_t>(value >> 32));
}

std::uint32_t Crc(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// The raw deflate stream and checksum of count zero bytes. Every full block
// is compressed after a full flush, which resets the compressor, so its
// output is the same each time and is repeated instead of recomputed.
struct Deflated {
  std::string stream;
  std::uint32_t crc = 0;
};
Deflated DeflateZeros(std::uint64_t count) {
  constexpr std::uint64_t kBlock = 1 << 20;
  const std::string zeros(kBlock, '\0');
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2 failed");
  auto run = [&](std::uint64_t size, int flush) {
    std::string out(deflateBound(&stream, static_cast<uLong>(size)) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    int rc = deflate(&stream, flush);
    if (stream.avail_in != 0 || (rc != Z_OK && rc != Z_STREAM_END))
      throw std::runtime_error("deflate failed");
    out.resize(out.size() - stream.avail_out);
    return out;
  };
  Deflated result;
  std::uint64_t blocks = count / kBlock;
  if (blocks > 0) {
    std::string block = run(kBlock, Z_FULL_FLUSH);
    if (blocks > 1 && run(kBlock, Z_FULL_FLUSH) != block)
      throw std::runtime_error("deflate blocks differ");
    result.stream.reserve(block.size() * blocks + 64);
    for (std::uint64_t i = 0; i < blocks; ++i) result.stream += block;
  }
  result.stream += run(count % kBlock, Z_FINISH);
  deflateEnd(&stream);
  // The checksum of blocks zero blocks, by doubling. zlib may take the length
  // of the second part as a long, which has 32 bits on Windows: no second part
  // is longer than 1 GiB, larger counts add that part again and again.
  constexpr std::uint64_t kMaxPart = 1ULL << 30;
  const std::uint32_t block_crc = Crc(zeros);
  std::uint32_t crc = 0;
  std::uint32_t power_crc = block_crc;  // of 2^i blocks
  std::uint64_t power_length = kBlock;
  std::uint64_t rest = blocks;
  for (; rest > 0 && power_length < kMaxPart; rest >>= 1) {
    if (rest & 1) crc = static_cast<std::uint32_t>(crc32_combine64(crc, power_crc, power_length));
    power_crc = static_cast<std::uint32_t>(crc32_combine64(power_crc, power_crc, power_length));
    power_length *= 2;
  }
  for (; rest > 0; --rest)  // parts of kMaxPart bytes
    crc = static_cast<std::uint32_t>(crc32_combine64(crc, power_crc, power_length));
  std::uint64_t tail = count % kBlock;
  result.crc = static_cast<std::uint32_t>(
      crc32_combine64(crc, Crc(zeros.substr(0, tail)), static_cast<z_off64_t>(tail)));
  return result;
}

}  // namespace

std::string UnicodePathField(const std::string& raw_name, const std::string& utf8_name) {
  std::string out;
  Put16(out, 0x7075);
  Put16(out, static_cast<std::uint32_t>(5 + utf8_name.size()));
  out += '\x01';
  Put32(out, Crc(raw_name));
  out += utf8_name;
  return out;
}

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
    std::string stored;
    std::uint32_t crc = 0;
    std::uint64_t length = entry.data.size();
    bool deflated = entry.deflate;
    if (entry.zeros) {
      Deflated zeros = DeflateZeros(*entry.zeros);
      stored = std::move(zeros.stream);
      crc = zeros.crc;
      length = *entry.zeros;
      deflated = true;
    } else {
      stored = entry.deflate ? Deflate(entry.data) : entry.data;
      crc = Crc(entry.data);
    }
    crc = entry.crc.value_or(crc);
    std::uint64_t size = entry.uncompressed_size.value_or(length);
    std::uint16_t flags = (entry.utf8_flag ? 0x0800 : 0) | (entry.encrypted_flag ? 0x0001 : 0);
    std::uint16_t method = deflated ? 8 : 0;
    std::uint16_t needed = entry.zip64 ? 45 : 20;
    auto offset = static_cast<std::uint32_t>(out.size());
    std::string extra = entry.extra;
    std::uint32_t size32 = static_cast<std::uint32_t>(size);
    std::uint32_t stored32 = static_cast<std::uint32_t>(stored.size());
    if (entry.zip64) {
      std::string field;
      Put16(field, 0x0001);
      Put16(field, 16);
      Put64(field, size);
      Put64(field, stored.size());
      extra = field + extra;
      size32 = stored32 = 0xFFFFFFFF;
    }

    Put32(out, 0x04034b50);
    Put16(out, needed);
    Put16(out, flags);
    Put16(out, method);
    Put16(out, entry.dos_time);
    Put16(out, entry.dos_date);
    Put32(out, crc);
    Put32(out, stored32);
    Put32(out, size32);
    Put16(out, static_cast<std::uint32_t>(entry.name.size()));
    Put16(out, static_cast<std::uint32_t>(extra.size()));
    out += entry.name;
    out += extra;
    out += stored;

    Put32(directory, 0x02014b50);
    Put16(directory, entry.version_made_by);
    Put16(directory, needed);
    Put16(directory, flags);
    Put16(directory, method);
    Put16(directory, entry.dos_time);
    Put16(directory, entry.dos_date);
    Put32(directory, crc);
    Put32(directory, stored32);
    Put32(directory, size32);
    Put16(directory, static_cast<std::uint32_t>(entry.name.size()));
    Put16(directory, static_cast<std::uint32_t>(extra.size()));
    Put16(directory, 0);  // comment
    Put16(directory, 0);  // disk
    Put16(directory, 0);  // internal attributes
    Put32(directory, entry.external_attributes);
    Put32(directory, offset);
    directory += entry.name;
    directory += extra;
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
