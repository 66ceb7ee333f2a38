#pragma once
// Partial downloads kept across runs. Start-up empties the run's temporary
// folder, so a download cut off by a crash, a reboot or a closed laptop would
// start again from zero; its part is kept instead in a folder of its own,
// %temp%partials_<name>/ (PartialsFolder), which start-up never empties.
//
// For a download of URL U into P with resuming on, the transfer writes the
// record H.meta (H: the SHA-256 of U as hex, so no name comes from the URL)
// when the answer arrives: U, the remote size, the remote modification time,
// the name of the part (H.part) and P. The next start moves every recorded P
// that lies in the folder it is about to empty to H.part (Rescue). A later
// download of U into a P that does not exist gets the part back (Restore) and
// continues it with a range request, which the answer's size and time must
// match; otherwise the file comes again from zero. A finished download and an
// installed update remove their parts (Forget, Clear).
//
// Bounded: at most kMaxKeptPartials parts of at most kMaxKeptPartialBytes in
// all; over the limits the largest go first. A record that does not parse,
// is larger than kMaxPartialRecordBytes, does not belong to its name or has
// no part is removed with its part, never trusted. Only files of the folder
// are ever removed.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t kMaxKeptPartials = 16;
inline constexpr std::uint64_t kMaxKeptPartialBytes = 1ull << 30;  // 1 GiB
inline constexpr std::size_t kMaxPartialRecordBytes = 16 * 1024;

// What a record says about a part.
struct PartialRecord {
  std::string url;
  std::int64_t size = -1;      // the remote size
  std::int64_t modified = -1;  // the remote modification time (seconds since the epoch)
  std::string destination;     // where the download is written
};

// The bytes of a record of the part named part_name.
std::string PartialRecordBytes(const PartialRecord& record, std::string_view part_name);
// The record held by bytes; nullopt unless they are a whole record whose part
// is named part_name, with a URL, a size and a time that are known, and an
// absolute destination.
std::optional<PartialRecord> ParsePartialRecord(std::string_view bytes, std::string_view part_name);

// The folder of the kept parts of an application: temp_folder (the user's
// private temporary folder, with its separator) + "partials_" + name.
std::string PartialsFolder(const std::string& temp_folder, const std::string& app_name);
// The same for this run's settings and paths.
std::string PartialsFolderOfThisRun();

// How much is kept.
struct PartialLimits {
  std::size_t count = kMaxKeptPartials;
  std::uint64_t bytes = kMaxKeptPartialBytes;
};

class CKeptPartials {
 public:
  explicit CKeptPartials(std::string folder, PartialLimits limits = {});

  // Records that record.destination receives the download of record.url.
  // False when the record cannot be written (the part is then not kept).
  bool Record(const PartialRecord& record) const;
  // Start-up, before run_folder is emptied: moves every recorded destination
  // inside run_folder to its part, then removes what is invalid or over the
  // limits.
  void Rescue(const std::string& run_folder) const;
  // Before a download of url into destination, which must not exist: moves
  // the kept part there. The record, or nullopt when there is no usable part.
  std::optional<PartialRecord> Restore(const std::string& url,
                                       const std::string& destination) const;
  // The download of url is complete: its record and part go.
  void Forget(const std::string& url) const;
  // Every kept part goes (the update is installed).
  void Clear() const;

 private:
  std::vector<std::string> Names() const;
  // The folder's path of a name in it.
  std::string PathOf(std::string_view name) const;
  std::optional<PartialRecord> ReadRecord(const std::string& hash) const;
  void Remove(const std::string& hash) const;
  void KeepWithinLimits() const;

  std::string folder_;
  PartialLimits limits_;
};
