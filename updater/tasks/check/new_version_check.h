#pragma once
// The decision whether an update file offers something new: by sections and
// application version, or file by file (the CHECKSEPARATELY flag).

#include <string_view>

class CInstalledSections;
class CUpdateFileData;
class ICheckVersionNetwork;
struct CFileData;

// Check kinds of a file record (compared exactly; any other kind, the empty
// one included, makes the file always needed).
inline constexpr char kFileCheckVersion[] = "version";
inline constexpr char kFileCheckDate[] = "date";
inline constexpr char kFileCheckDateTime[] = "datetime";
inline constexpr char kFileCheckHash[] = "hash";

// Whether the installed file at the record's location is out of date:
// - "version": the record's version is newer than the file's version
//   ("0.0.0.0" for a missing file or one without version resource);
// - "date" / "datetime": the record's date (or, when it has none, the remote
//   date of its first download action's locations) is greater, as text, than
//   the file's local modification date (time);
// - "hash": the file's MD5 digest differs from the record's hash exactly (its
//   SHA-256 digest from the record's sha256, when the record gives one);
// - anything else: always.
bool IsFileUpdateNeeded(const CFileData& file, ICheckVersionNetwork& network);

// Stores IsFileUpdateNeeded in every file's update_needed; true when at least
// one file is needed.
bool MarkFilesToUpdate(CUpdateFileData& data, ICheckVersionNetwork& network);

// True when some section's version is newer than its installed version
// ("0.0.0.0" when not installed), or when the application version is older
// than the update file's version.
bool HasNewVersion(const CUpdateFileData& data, const CInstalledSections& installed,
                   std::string_view application_version);
