#pragma once
// The self-update hand-off. The updater cannot replace its own program file
// while it runs, so an update of the updater is done in two halves:
//
//  - During the check, PrepareSelfUpdate reads the self-update description
//    (selfupdate.xml). When it offers another version than the one compiled
//    into this program, it appends to the update the file record "Updater"
//    (download the new program below %updatertemp%, then copy it into %temp%
//    as the updater program's name) and an ONCLOSE "run" action that starts
//    the copy program with two quoted paths: the staged new program and the
//    running updater program.
//  - The download and install tasks treat the record like any other; the
//    install writes the copy program into %temp%. When the run ends after a
//    finish (never after a rollback), ONCLOSE starts the copy program, which
//    waits for the updater to end and puts the new program in its place.
//
// The description may give the MD5 digest of the new program:
//
//   <SELFUPDATE>
//     <VERSION>0.8.1.6</VERSION>
//     <LOCATION>https://host/files/new_updater</LOCATION>
//     <HASH>0123456789abcdef0123456789abcdef</HASH>
//   </SELFUPDATE>
//
// The record then carries it, so that a download with another digest is
// refused and nothing is staged. A self-update that cannot be handed over
// safely is refused before anything is added (one log line "SELF-UPDATE
// REFUSED: ..."): no location, a malformed digest, a path that the copy
// program's command line cannot carry (a double quote, a control character,
// a separator other than the platform's, a relative path), a program to
// replace that is not a regular file, or full lists.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "updater/description/event_table.h"
#include "updater/description/self_update_info.h"
#include "updater/description/update_file_data.h"

// The name of the file record that carries the new updater.
inline constexpr char kSelfUpdateRecordName[] = "Updater";
// The event whose "run" action starts the copy program.
inline constexpr char kSelfUpdateEvent[] = "ONCLOSE";
// Longest path the copy program accepts as an argument, in bytes.
inline constexpr std::size_t kMaxHandOffPathBytes = 4096;
// Longest file name used for the download below %updatertemp%, in bytes.
inline constexpr std::size_t kMaxDownloadNameBytes = 200;

// The file name of the updater program on this platform: "Velmora Updater"
// with the platform's program suffix. The staged new program has this name,
// and the copy program is given exactly this path.
std::string UpdaterProgramFileName();

// The folders of one hand-off.
struct SelfUpdateFolders {
  std::string updater_temp;     // %updatertemp%
  std::string temp;             // %temp%: the user's private temporary folder
  std::string running_updater;  // full path of the running updater program
};

// The files of one hand-off.
struct SelfUpdateFiles {
  std::string download;      // the new program as downloaded, below %updatertemp%
  std::string staged;        // the new program staged in %temp%
  std::string copy_program;  // the copy program in %temp%
  std::string target;        // the updater program it replaces
};

// The MD5 digest the description gives for the new program: the text of the
// first HASH child of the first top-level SELFUPDATE, trimmed and in lower
// case; "" when there is none; nullopt when it is given but is not 32
// hexadecimal digits.
std::optional<std::string> ReadSelfUpdateDigest(const std::string& path);

// The file name for the download below %updatertemp%: the last component of
// the location without query and fragment. A name that is empty, "." or "..",
// too long or holds a control character becomes "updater.download". A name
// that another download of the update, its resume file, the working files of
// the check (updatefile.xml, selfupdate.xml) or the rollback folder already
// use gets "selfupdate_" put before it until it is free.
std::string SelfUpdateDownloadName(std::string_view location, const CUpdateFileData& data,
                                   const std::string& updater_temp);

// Why the path cannot be handed to the copy program; "" when it can.
std::string HandOffPathProblem(const std::string& path);

// The copy program's parameters: both paths in double quotes, one blank
// between them.
std::string CopyProgramParameters(const SelfUpdateFiles& files);

// The record "Updater": needed, no check kind and no section (so every check
// and every selection keeps it), the digest as its hash; a download from the
// location to files.download (temporary) and a copy, overwriting, to
// files.staged.
CFileData MakeSelfUpdateRecord(const std::string& location, const std::string& digest,
                               const SelfUpdateFiles& files);

// The ONCLOSE action that starts the copy program.
CEventActionRun MakeSelfUpdateCloseAction(const SelfUpdateFiles& files);

enum class SelfUpdateOutcome {
  kDisabled,  // the update file does not allow self-updating
  kCurrent,   // the description offers no other version
  kRefused,   // offered, but it cannot be handed over safely (logged)
  kPrepared,  // the record and the close action were added
};

// What PrepareSelfUpdate works on.
struct SelfUpdateContext {
  CUpdateFileData& data;
  CEventTable& events;
  CSelfUpdateInfo& info;
  SelfUpdateFolders folders;
};

// Reads the description at the path into the record and, when its version
// differs from this program's own version text (compared as text, after
// trimming white space; an empty version offers nothing), adds the record
// "Updater" and the close action. A record and action added by an earlier
// call are replaced, not doubled. A staged program left in %temp% by an
// earlier run is removed, so that only what this run stages can be handed
// over.
SelfUpdateOutcome PrepareSelfUpdate(const std::string& description_path, SelfUpdateContext context);

// The same on the process-wide update file, event table and self-update
// record, with the folders of the path table. Runs on the check-version
// task's thread while nothing else uses those records.
SelfUpdateOutcome PrepareSelfUpdate(const std::string& description_path);
