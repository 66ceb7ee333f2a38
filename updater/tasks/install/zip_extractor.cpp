#include "updater/tasks/install/zip_extractor.h"

#include <unzip.h>

#include <algorithm>
#include <ctime>
#include <vector>

#include "platform/atomic_file_writer.h"
#include "platform/disk_space.h"
#include "platform/file_reader.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/system_paths.h"
#include "updater/core/text.h"
#include "updater/tasks/install/zip_entry_name.h"
#include "updater/tasks/install/zip_extra_field.h"

using platform::FilePermissions;
using platform::Status;

namespace {

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagUtf8 = 0x0800;
constexpr std::uint32_t kDosReadOnly = 0x01;
constexpr std::uint32_t kDosFolder = 0x10;
// Hosts of "version made by" whose external attributes carry a Unix mode.
constexpr unsigned kHostUnix = 3;
constexpr unsigned kHostMac = 19;
constexpr unsigned kTypeMask = 0170000;
constexpr unsigned kTypeFolder = 0040000;
constexpr unsigned kTypeLink = 0120000;
constexpr unsigned kSpecialBits = 07000;  // set-user-id, set-group-id, sticky
constexpr unsigned kOwnerExecutableBit = 0100;
constexpr unsigned kOtherExecutableBits = 0011;  // group and others
constexpr std::size_t kChunk = 64 * 1024;

constexpr std::uint64_t kZip64Marker = 0xFFFFFFFF;

// The permissions of a file written from an entry whose Unix mode (the
// archive's own data, 0 when it has none) is given: readable by everyone,
// writable by the user unless read-only, runnable by the user alone when only
// the owner's executable bit is set and by everyone when another one is.
FilePermissions EntryPermissions(unsigned unix_mode, bool read_only) {
  if (unix_mode & kOtherExecutableBits)
    return read_only ? FilePermissions::kReadOnlyExecutable : FilePermissions::kExecutable;
  if (unix_mode & kOwnerExecutableBit)
    return read_only ? FilePermissions::kReadOnlyOwnerExecutable
                     : FilePermissions::kOwnerExecutable;
  return read_only ? FilePermissions::kReadOnly : FilePermissions::kNormal;
}

// The data of the entry the archive stands on, uncompressed. The library
// checks the entry's local header and tells where its data starts; the data
// is read, inflated and checked here, because the library reads the 32-bit
// size 0xFFFFFFFF of a ZIP64 entry as its size.
class EntryData {
 public:
  EntryData(platform::FileReader& file, const ZipEntryInfo& entry)
      : file_(file), entry_(entry), rest_(entry.compressed_size) {}
  ~EntryData() {
    if (inflating_) inflateEnd(&stream_);
  }
  EntryData(const EntryData&) = delete;
  EntryData& operator=(const EntryData&) = delete;

  bool Open(unzFile archive) {
    int method = 0;
    int level = 0;
    if (unzOpenCurrentFile2(archive, &method, &level, 1) != UNZ_OK) return false;
    auto start = static_cast<std::uint64_t>(unzGetCurrentFileZStreamPos64(archive));
    unzCloseCurrentFile(archive);
    if (start > file_.Size() || rest_ > file_.Size() - start || !file_.Seek(start)) return false;
    if (entry_.compression_method != Z_DEFLATED) return true;
    // Small entries, the most common ones, need no chunk-sized input buffer.
    input_.resize(static_cast<std::size_t>(std::clamp<std::uint64_t>(rest_, 1, kChunk)));
    inflating_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK;
    return inflating_;
  }

  // Reads up to size bytes into buffer: their count, 0 at the end of the
  // data, -1 when it cannot be read or is damaged (cut short included).
  long Read(char* buffer, std::size_t size) {
    if (!inflating_) {
      long n = ReadStored(buffer, size);
      return n > 0 ? Checked(buffer, static_cast<std::size_t>(n)) : n;
    }
    while (!ended_) {
      stream_.next_out = reinterpret_cast<Bytef*>(buffer);
      stream_.avail_out = static_cast<uInt>(size);
      int rc = inflate(&stream_, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) {
        ended_ = true;
      } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
        return -1;
      }
      std::size_t produced = size - stream_.avail_out;
      if (produced > 0) return Checked(buffer, produced);
      if (ended_) break;
      if (stream_.avail_in > 0) {
        if (rc == Z_BUF_ERROR) return -1;  // no progress is possible
        continue;
      }
      long n = ReadStored(input_.data(), input_.size());
      if (n <= 0) return -1;  // the stream stops short of its end
      stream_.next_in = reinterpret_cast<Bytef*>(input_.data());
      stream_.avail_in = static_cast<uInt>(n);
    }
    return 0;
  }

  // The checksum of the bytes read so far.
  std::uint32_t crc() const { return crc_; }

 private:
  // Up to size of the entry's stored bytes: their count, 0 after the last.
  long ReadStored(char* buffer, std::size_t size) {
    auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, rest_));
    if (wanted == 0) return 0;
    auto n = file_.Read(buffer, wanted);
    if (!n || *n == 0) return -1;
    rest_ -= *n;
    return static_cast<long>(*n);
  }

  long Checked(const char* buffer, std::size_t count) {
    crc_ = static_cast<std::uint32_t>(
        crc32(crc_, reinterpret_cast<const Bytef*>(buffer), static_cast<uInt>(count)));
    return static_cast<long>(count);
  }

  platform::FileReader& file_;
  const ZipEntryInfo& entry_;
  std::uint64_t rest_;  // stored bytes not yet read
  bool inflating_ = false;
  bool ended_ = false;
  z_stream stream_{};
  std::vector<char> input_;
  std::uint32_t crc_ = 0;
};

// Takes the sizes a ZIP64 entry keeps in its ZIP64 extra field: each 32-bit
// size that reads 0xFFFFFFFF is there, the uncompressed one first. Without
// the field the sizes stay; false when the field is too short.
bool ReadZip64Sizes(std::string_view extra, ZipEntryInfo& info) {
  auto field = FindZipExtraField(extra, kZip64Field);
  if (!field) return true;
  std::size_t at = 0;
  for (std::uint64_t* size : {&info.uncompressed_size, &info.compressed_size}) {
    if (*size != kZip64Marker) continue;
    if (field->size() - at < 8) return false;
    *size = ReadLittleEndian(*field, at, 8);
    at += 8;
  }
  return true;
}

std::vector<std::string> SplitName(const std::string& name) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start < name.size()) {
    std::size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    parts.push_back(name.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::optional<std::int64_t> LocalDosTime(const tm_unz& dos) {
  std::tm local{};
  local.tm_year = static_cast<int>(dos.tm_year) - 1900;
  local.tm_mon = static_cast<int>(dos.tm_mon);
  local.tm_mday = static_cast<int>(dos.tm_mday);
  local.tm_hour = static_cast<int>(dos.tm_hour);
  local.tm_min = static_cast<int>(dos.tm_min);
  local.tm_sec = static_cast<int>(dos.tm_sec);
  local.tm_isdst = -1;
  std::time_t seconds = std::mktime(&local);
  if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
  return static_cast<std::int64_t>(seconds);
}

// Reads and checks the entry the archive stands on. The kinds refused are
// symbolic links, encrypted entries and files that ask for set-user-id,
// set-group-id or sticky bits. Other special files (a FIFO, a device, a
// socket) are written as regular files with their data.
std::optional<ZipEntryInfo> ReadEntry(unzFile archive, const ZipExtractorLimits& limits,
                                      std::string* reason) {
  unz_file_info64 raw{};
  // Most names and extra fields fit the first buffers; their lengths are
  // 16-bit fields of the archive, so the second ones are bounded too.
  std::vector<char> name(256, '\0');
  std::vector<char> extra(256, '\0');
  for (int pass = 0; pass < 2; ++pass) {
    if (unzGetCurrentFileInfo64(archive, &raw, name.data(), static_cast<uLong>(name.size()),
                                extra.data(), static_cast<uLong>(extra.size()), nullptr,
                                0) != UNZ_OK) {
      *reason = "cannot read the entry information";
      return std::nullopt;
    }
    if (raw.size_filename < name.size() && raw.size_file_extra <= extra.size()) break;
    name.assign(std::max<std::size_t>(name.size(), raw.size_filename + 1), '\0');
    extra.assign(std::max<std::size_t>(extra.size(), raw.size_file_extra), '\0');
  }
  std::string_view raw_name(name.data(), raw.size_filename);
  if (raw_name.find('\0') != std::string_view::npos) {
    *reason = "entry name holds a zero byte";
    return std::nullopt;
  }

  ZipEntryInfo info;
  info.version_made_by = static_cast<std::uint16_t>(raw.version);
  info.flags = static_cast<std::uint16_t>(raw.flag);
  info.compression_method = static_cast<std::uint16_t>(raw.compression_method);
  info.dos_date_time = static_cast<std::uint32_t>(raw.dosDate);
  info.crc = static_cast<std::uint32_t>(raw.crc);
  info.compressed_size = raw.compressed_size;
  info.uncompressed_size = raw.uncompressed_size;
  info.external_attributes = static_cast<std::uint32_t>(raw.external_fa);

  unsigned host = info.version_made_by >> 8;
  std::string_view extra_field(extra.data(),
                               std::min<std::size_t>(raw.size_file_extra, extra.size()));
  ZipNameText text =
      ChooseZipEntryName({raw_name, (info.flags & kFlagUtf8) != 0, host, extra_field});
  if (NamesTheFolderItself(text.bytes)) {
    info.is_destination = true;
    info.is_folder = true;
    return info;
  }
  auto path = ParseZipEntryName(text.bytes, text.utf8, limits.max_name_bytes, reason);
  if (!path) return std::nullopt;
  info.name = path->Joined();
  if (!ReadZip64Sizes(extra_field, info)) {
    *reason = "entry '" + info.name + "' has a damaged ZIP64 field";
    return std::nullopt;
  }

  unsigned unix_mode =
      (host == kHostUnix || host == kHostMac) ? (info.external_attributes >> 16) : 0;
  unsigned type = unix_mode & kTypeMask;
  info.is_folder = path->ends_with_separator || (info.external_attributes & kDosFolder) != 0 ||
                   type == kTypeFolder;
  // A link could point anywhere, and written as a file it would be a broken
  // one: refused. A FIFO, device or socket entry (what an archiver writes for
  // data read from a pipe) is only ever written as a regular file.
  if (type == kTypeLink) {
    *reason = "entry '" + info.name + "' is a symbolic link";
    return std::nullopt;
  }
  if (info.is_folder) return info;

  if (info.flags & kFlagEncrypted) {
    *reason = "entry '" + info.name + "' is encrypted";
    return std::nullopt;
  }
  if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) {
    *reason = "entry '" + info.name + "' uses an unknown compression method";
    return std::nullopt;
  }
  if (unix_mode & kSpecialBits) {
    *reason = "entry '" + info.name + "' asks for set-id or sticky bits";
    return std::nullopt;
  }
  bool read_only =
      (info.external_attributes & kDosReadOnly) != 0 || (unix_mode != 0 && (unix_mode & 0200) == 0);
  info.permissions = EntryPermissions(unix_mode, read_only);
  info.modification_time = LocalDosTime(raw.tmu_date);
  return info;
}

}  // namespace

void CZipExtractor::ArchiveCloser::operator()(void* archive) const { unzClose(archive); }

void CZipExtractor::SetFreeSpaceSource(FreeSpaceSource free_space) {
  free_space_ = std::move(free_space);
}

CZipExtractor::CZipExtractor(ZipExtractorLimits limits) : limits_(limits) {}

CZipExtractor::~CZipExtractor() { Close(); }

void CZipExtractor::Close() {
  archive_.reset();  // closing the archive also closes an open entry
  data_file_.Close();
  archive_path_.clear();
  output_folder_.clear();
  entry_count_ = 0;
  passed_over_ = 0;
  declared_bytes_ = 0;
}

Status CZipExtractor::Open(const std::string& archive_path) {
  Close();
  if (archive_path.empty()) return Status::Fail("no archive given");
  std::string full = platform::FullPath(platform::NormalizeSeparators(archive_path));
  if (!platform::FileExists(full)) return Status::Fail("no archive at '" + full + "'");
  archive_.reset(unzOpen64(full.c_str()));
  if (!archive_) return Status::Fail("'" + full + "' is not a readable zip archive");
  Status readable = data_file_.Open(full);
  if (!readable) {
    Close();
    return readable;
  }
  archive_path_ = full;
  output_folder_ = platform::FolderOf(full);
  Status checked = CheckAllEntries();
  if (!checked) {
    Close();
    return checked;
  }
  return Status::Ok();
}

Status CZipExtractor::CheckAllEntries() {
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(archive_.get(), &global) != UNZ_OK)
    return Status::Fail("cannot read the directory of '" + archive_path_ + "'");
  if (global.number_entry > limits_.max_entries)
    return Status::Fail("'" + archive_path_ + "' holds too many entries");
  std::uint64_t count = 0;
  std::uint64_t passed_over = 0;
  std::uint64_t total_bytes = 0;
  int rc = unzGoToFirstFile(archive_.get());
  while (rc == UNZ_OK) {
    if (++count > limits_.max_entries)
      return Status::Fail("'" + archive_path_ + "' holds too many entries");
    std::string reason;
    auto entry = ReadEntry(archive_.get(), limits_, &reason);
    if (!entry) return Status::Fail("'" + archive_path_ + "': " + reason);
    if (entry->is_destination) {
      ++passed_over;
    } else if (!entry->is_folder) {
      if (entry->uncompressed_size > limits_.max_total_bytes - total_bytes)
        return Status::Fail("'" + archive_path_ + "' unpacks to too many bytes");
      total_bytes += entry->uncompressed_size;
    }
    rc = unzGoToNextFile(archive_.get());
  }
  // Only the end of the list is a good end; anything else is a damaged
  // directory. A count field of 0xFFFF may stand for more entries: the library
  // then walks on until the next record is no directory entry.
  bool count_overflow = global.number_entry == 0xFFFF;
  bool good_end = rc == UNZ_END_OF_LIST_OF_FILE
                      ? (count_overflow || count == global.number_entry)
                      : (count_overflow && rc == UNZ_BADZIPFILE && count >= 0xFFFF);
  if (!good_end) return Status::Fail("the directory of '" + archive_path_ + "' is damaged");
  entry_count_ = count - passed_over;
  passed_over_ = passed_over;
  declared_bytes_ = total_bytes;
  GotoFirstFile();
  return Status::Ok();
}

Status CZipExtractor::CheckFreeSpace(const std::string& destination) const {
  if (!archive_) return Status::Fail("no archive is open");
  std::string path = destination.empty()
                         ? output_folder_
                         : platform::FullPath(platform::NormalizeSeparators(destination));
  while (!platform::PathExists(path) && path != platform::FolderOf(path))
    path = platform::FolderOf(path);
  auto free = free_space_ ? free_space_(path) : platform::FreeDiskSpace(path);
  if (!free || declared_bytes_ <= *free) return Status::Ok();
  constexpr std::uint64_t kMegabyte = 1024 * 1024;
  return Status::Fail("'" + archive_path_ + "' unpacks to " +
                      std::to_string((declared_bytes_ + kMegabyte - 1) / kMegabyte) + " MB but '" +
                      path + "' has " + std::to_string(*free / kMegabyte) + " MB free");
}

std::optional<ZipEntryInfo> CZipExtractor::CurrentEntry() const {
  if (!archive_) return std::nullopt;
  std::string reason;
  return ReadEntry(archive_.get(), limits_, &reason);
}

bool CZipExtractor::SeekName(std::string_view name, bool first) {
  if (!archive_) return false;
  int rc = first ? unzGoToFirstFile(archive_.get()) : unzGoToNextFile(archive_.get());
  while (rc == UNZ_OK) {
    // Only an archive with entries that name the destination needs a look at
    // each entry to step over them.
    if (name.empty() && passed_over_ == 0) return true;
    auto entry = CurrentEntry();
    if (entry && entry->is_destination) {
      rc = unzGoToNextFile(archive_.get());
      continue;
    }
    if (name.empty()) return true;
    if (entry && !entry->is_folder) {
      if (EqualsNoCase(platform::FileNameOf(entry->name), name)) return true;
    }
    rc = unzGoToNextFile(archive_.get());
  }
  return false;
}

bool CZipExtractor::GotoFirstFile(std::string_view name) { return SeekName(name, true); }

bool CZipExtractor::GotoNextFile(std::string_view name) { return SeekName(name, false); }

Status CZipExtractor::CreateFolderBelow(const std::string& base,
                                        const std::vector<std::string>& components,
                                        std::size_t count) const {
  std::string path = base;
  for (std::size_t i = 0; i < count && i < components.size(); ++i) {
    path += platform::PathSeparator();
    path += components[i];
    // lstat each component: a link here could lead anywhere.
    if (platform::IsSymbolicLink(path))
      return Status::Fail("'" + path + "' is a symbolic link; nothing is written through it");
    // No link (just checked) and a folder: the common case of a folder made
    // for an earlier entry needs no second look.
    if (platform::FolderExists(path)) continue;
    if (!platform::PathExists(path)) {
      Status created = platform::CreateFolders(path);
      if (!created) return created;
    }
    if (platform::IsSymbolicLink(path) || !platform::FolderExists(path))
      return Status::Fail("'" + path + "' is not a folder");
  }
  return Status::Ok();
}

Status CZipExtractor::WriteEntry(const std::string& target, const ZipEntryInfo& entry) {
  platform::AtomicFileWriter writer;
  Status status = writer.Open(target, record_temporary_);
  if (!status) return status;
  EntryData data(data_file_, entry);
  if (!data.Open(archive_.get())) return Status::Fail("cannot open the entry '" + entry.name + "'");

  if (buffer_.size() != kChunk) buffer_.resize(kChunk);
  std::vector<char>& buffer = buffer_;
  std::uint64_t written = 0;
  for (;;) {
    if (Cancelled()) return Status::Fail("extraction cancelled");
    long n = data.Read(buffer.data(), buffer.size());
    if (n < 0) return Status::Fail("cannot read the entry '" + entry.name + "'");
    if (n == 0) break;
    written += static_cast<std::uint64_t>(n);
    // Checked before the bytes are written: an entry never puts more on the
    // disk than it declared.
    if (written > entry.uncompressed_size)
      return Status::Fail("the entry '" + entry.name + "' is longer than declared");
    status = writer.Write(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    if (!status) return status;
  }
  if (written != entry.uncompressed_size)
    return Status::Fail("the entry '" + entry.name + "' is shorter than declared");
  if (data.crc() != entry.crc)
    return Status::Fail("the entry '" + entry.name + "' has a wrong checksum");
  return writer.Commit(entry.permissions, entry.modification_time);
}

Status CZipExtractor::UnzipFile(const std::string& destination, bool ignore_paths) {
  if (!archive_) return Status::Fail("no archive is open");
  if (entry_count_ == 0) return Status::Fail("the archive holds no entries");
  std::string base =
      destination.empty() ? output_folder_ : platform::NormalizeSeparators(destination);
  while (base.size() > 1 && platform::IsPathSeparator(base.back())) base.pop_back();
  // The destination itself is the caller's folder and may be reached through
  // links; only what lies below it comes from the archive.
  Status status = platform::CreateFolders(base);
  if (!status) return status;

  std::string reason;
  auto entry = ReadEntry(archive_.get(), limits_, &reason);
  if (!entry) return Status::Fail("'" + archive_path_ + "': " + reason);
  if (entry->is_destination) return Status::Ok();
  std::vector<std::string> components = SplitName(entry->name);
  if (entry->is_folder) return CreateFolderBelow(base, components, components.size());

  if (ignore_paths) components.erase(components.begin(), components.end() - 1);
  status = CreateFolderBelow(base, components, components.size() - 1);
  if (!status) return status;
  std::string target = base;
  for (const auto& component : components) target += platform::PathSeparator() + component;
  // A symbolic link at the target is replaced by the file, never written
  // through; a folder there cannot be replaced.
  if (!platform::IsSymbolicLink(target) && platform::FolderExists(target))
    return Status::Fail("'" + target + "' is a folder");
  status = WriteEntry(target, *entry);
  if (!status) return Status::Fail("'" + archive_path_ + "': " + status.message());
  return Status::Ok();
}

Status CZipExtractor::ExtractAll(const std::string& destination, const EntryDone& on_entry) {
  if (!archive_) return Status::Fail("no archive is open");
  if (entry_count_ == 0) return Status::Fail("'" + archive_path_ + "' holds no entries");
  Status room = CheckFreeSpace(destination);
  if (!room) return room;
  std::uint64_t done = 0;
  for (bool more = GotoFirstFile(); more; more = GotoNextFile()) {
    if (Cancelled()) return Status::Fail("extraction cancelled");
    Status status = UnzipFile(destination, false);
    if (!status) return status;
    ++done;
    if (on_entry) on_entry(done, entry_count_);
  }
  if (done != entry_count_) return Status::Fail("the directory of '" + archive_path_ + "' changed");
  return Status::Ok();
}
