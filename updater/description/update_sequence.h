#pragma once
// The update sequence: an update file may send applications older than a
// minimum version to another update file,
//
//   <UPDATEINFO> <SEQUENCE> <MINIMUMVERSION>2.0</MINIMUMVERSION>
//                           <LOCATION>https://host/older.xml</LOCATION> </SEQUENCE> ...
//
// and that file may redirect again. The redirections are followed by download
// into the same working copy until a file names no location, at most
// kMaxSequenceRedirections times.

#include <functional>
#include <string>
#include <string_view>
#include <utility>

// Most redirections followed for one check; a longer chain (or a loop) is an error.
inline constexpr int kMaxSequenceRedirections = 16;
// The error code a failed sequence is reported with: the server's kind (2).
inline constexpr int kSequenceServerErrorCode = 2;

// The location of the update file that the application must use instead of
// the file at path (plain or encrypted), or "" when this file is to be used:
// the raw text of LOCATION in the first SEQUENCE of the first UPDATEINFO, when
// the application version is older than that SEQUENCE's MINIMUMVERSION. A
// missing, unreadable or incomplete file names no location. Logs nothing.
std::string GetSequenceLocation(const std::string& path, std::string_view application_version);
// The same with the settings' application version.
std::string GetSequenceLocation(const std::string& path);

// What to do next with the working copy of the update file.
struct SequenceStep {
  enum class Kind {
    kLoad,                 // the file names no location: load it
    kDownload,             // download `location` over the file, then ask again
    kTooManyRedirections,  // the bound is reached; report kSequenceServerErrorCode
  };
  Kind kind = Kind::kLoad;
  std::string location;
};

// Counts the redirections of one check. The check-version task asks Next after
// each download of the working copy; its downloads stay its own business.
class CUpdateSequenceFollower {
 public:
  explicit CUpdateSequenceFollower(std::string application_version)
      : application_version_(std::move(application_version)) {}

  // Looks at the working copy. A location beyond the bound gives
  // kTooManyRedirections, with one log line.
  SequenceStep Next(const std::string& update_file);
  int redirections() const { return redirections_; }

 private:
  std::string application_version_;
  int redirections_ = 0;
};

// Fetches the location into the file at destination (replacing it); true on success.
using SequenceFetcher =
    std::function<bool(const std::string& location, const std::string& destination)>;

struct SequenceResult {
  enum class Status { kReady, kDownloadFailed, kTooManyRedirections };
  Status status = Status::kReady;
  int redirections = 0;
  // 0 when ready, else kSequenceServerErrorCode.
  int error_code = 0;
};

// Follows the redirections of the working copy at update_file to its end,
// fetching every location over it, in one go.
SequenceResult FollowUpdateSequence(const std::string& update_file,
                                    std::string_view application_version,
                                    const SequenceFetcher& fetch);
