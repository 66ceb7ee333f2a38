#pragma once
// Extracts the entries of a zip archive into a folder, with the entries' times
// and permission bits, never outside that folder.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_permissions.h"
#include "platform/file_reader.h"
#include "platform/status.h"

// Bounds on what an archive may hold; an archive beyond them is refused.
struct ZipExtractorLimits {
  std::uint64_t max_entries = 100000;
  std::size_t max_name_bytes = 4096;            // UTF-8 bytes of one entry name
  std::uint64_t max_total_bytes = 16ULL << 30;  // declared uncompressed sizes together
};

// What the archive says about one entry.
struct ZipEntryInfo {
  std::string name;  // UTF-8, components joined with '/', without a trailing '/'
  bool is_folder = false;
  // The entry names the destination folder itself ("./"); it is passed over
  // and its name is empty.
  bool is_destination = false;
  std::uint16_t version_made_by = 0;
  std::uint16_t flags = 0;
  std::uint16_t compression_method = 0;
  std::uint32_t dos_date_time = 0;  // date in the high 16 bits, time in the low ones
  std::uint32_t crc = 0;
  std::uint64_t compressed_size = 0;
  std::uint64_t uncompressed_size = 0;
  std::uint32_t external_attributes = 0;
  // Readable by everyone, writable by the user unless the entry is read-only,
  // and runnable as the entry's executable bits say.
  platform::FilePermissions permissions = platform::FilePermissions::kNormal;
  std::optional<std::int64_t> modification_time;  // seconds since the epoch
};

class CZipExtractor {
 public:
  // The bytes that may still be written on the volume of an existing path;
  // nullopt when unknown.
  using FreeSpaceSource = std::function<std::optional<std::uint64_t>(const std::string& path)>;

  // Called after each extracted entry with the entries done and their total.
  using EntryDone = std::function<void(std::uint64_t done, std::uint64_t total)>;

  explicit CZipExtractor(ZipExtractorLimits limits = {});
  virtual ~CZipExtractor();
  CZipExtractor(const CZipExtractor&) = delete;
  CZipExtractor& operator=(const CZipExtractor&) = delete;

  // While the flag is set, extraction stops at the next chunk and fails; the
  // entry being written is discarded. The flag must outlive its use here.
  void SetCancelFlag(const std::atomic<bool>* cancel) { cancel_ = cancel; }
  // Where the free space of a destination comes from (empty: the volume's own).
  void SetFreeSpaceSource(FreeSpaceSource free_space);
  // Told the name of each entry's temporary file before the file is made (the
  // change journal records it, so that a killed run leaves none behind); a
  // failure fails the entry.
  using TemporaryFileRecorder = std::function<platform::Status(const std::string& temporary)>;
  void SetTemporaryFileRecorder(TemporaryFileRecorder record) {
    record_temporary_ = std::move(record);
  }

  // Closes an open archive, opens the one at the path and checks the names and
  // kinds of all its entries before anything is written, so that one refused
  // entry refuses the whole archive. Entries that name the destination itself
  // ("./") are passed over: they are not counted and not stepped onto. The
  // folder of the archive becomes the output folder.
  platform::Status Open(const std::string& archive_path);
  bool is_open() const { return archive_ != nullptr; }
  // Number of entries of the open archive (0 when none is open).
  std::uint64_t EntryCount() const { return entry_count_; }
  // The uncompressed sizes of its file entries together, as declared.
  std::uint64_t DeclaredBytes() const { return declared_bytes_; }
  const std::string& output_folder() const { return output_folder_; }

  // Goes to the first entry; with a name, on to the first entry whose file name
  // (last component) equals it, ignoring case. False when there is none.
  bool GotoFirstFile(std::string_view name = {});
  // Goes to the next entry (with a name: the next one with that file name).
  // False at the end.
  bool GotoNextFile(std::string_view name = {});
  // The current entry.
  std::optional<ZipEntryInfo> CurrentEntry() const;

  // Extracts the current entry below the destination folder (the output folder
  // when empty), which is created when missing. A folder entry creates the
  // folder, one naming the destination does nothing; a file entry (special
  // files included: they are written as regular files) is written under a
  // temporary name beside its target and renamed onto it when its data was
  // read whole, had the declared size and the right checksum, so that an
  // existing file is replaced and a failure leaves no part of a file under the
  // target's name; an entry that gives more bytes than it declared fails
  // before they are written. With ignore_paths a file entry goes straight
  // into the destination under its last component. No folder below the
  // destination that is a symbolic link is ever entered.
  platform::Status UnzipFile(const std::string& destination, bool ignore_paths);

  // Fails, with the megabytes needed and free, when the declared bytes of the
  // archive do not fit on the volume of the destination (the output folder
  // when empty; a missing one is looked up at its nearest existing parent).
  // Passes when the free space cannot be learnt.
  platform::Status CheckFreeSpace(const std::string& destination) const;

  // Extracts every entry in order, keeping their folder paths, and calls
  // on_entry after each. An archive without entries, or one that does not fit
  // on the destination's volume, fails before anything is written.
  platform::Status ExtractAll(const std::string& destination, const EntryDone& on_entry = {});

  // Closes the current entry and the archive.
  void Close();

 private:
  struct ArchiveCloser {
    void operator()(void* archive) const;
  };
  using ArchiveHandle = std::unique_ptr<void, ArchiveCloser>;

  platform::Status CheckAllEntries();
  bool SeekName(std::string_view name, bool first);
  bool Cancelled() const { return cancel_ && cancel_->load(); }
  // Creates the first count components below base, one by one, refusing any
  // that is a symbolic link or not a folder.
  platform::Status CreateFolderBelow(const std::string& base,
                                     const std::vector<std::string>& components,
                                     std::size_t count) const;
  platform::Status WriteEntry(const std::string& target, const ZipEntryInfo& entry);

  ZipExtractorLimits limits_;
  const std::atomic<bool>* cancel_ = nullptr;
  TemporaryFileRecorder record_temporary_;
  ArchiveHandle archive_;
  platform::FileReader data_file_;  // the archive, for the entries' data
  std::string archive_path_;
  std::string output_folder_;
  std::uint64_t entry_count_ = 0;
  std::uint64_t passed_over_ = 0;  // entries that name the destination itself
  std::uint64_t declared_bytes_ = 0;
  FreeSpaceSource free_space_;
  // The chunk buffer of WriteEntry, kept from entry to entry: an archive of
  // many small files would otherwise allocate and clear it for each one.
  std::vector<char> buffer_;
};
