#pragma once
// The text of an update file that installs a release: GENERAL, SECTIONS and
// one FILE per published or removed file, in the form the updater's reader
// takes without hand editing.

#include <string>
#include <vector>

// One FILE record.
struct UpdateFileEntry {
  std::string relative;  // path below the application folder, "/" between components
  std::string section;   // name of its section
  bool remove = false;   // a delete action instead of download and copy
  // File facts for the updater's file check.
  std::string check;  // "hash", "version" or "date"
  std::string hash;   // MD5 as the updater computes it ("" for an empty or removed file)
  std::string version;
  std::string date;
  // SHA-256 of the published file: the FILE's digest and the download's ("" for a removed file).
  std::string sha256;
  // Published files only: where the updater downloads the file from, and the
  // name it is downloaded to inside the updater's temporary folder.
  std::string url;
  std::string download_name;
};

struct UpdateFilePlan {
  std::string version;
  std::string close_application = "false";  // "true", "false", "restart" or "user"
  bool enable_rollback = false;
  std::vector<std::string> sections;  // each gets the release version
  std::vector<UpdateFileEntry> entries;
};

// The XML text (UTF-8, with declaration). Attribute values are escaped;
// element text carries "&", "<" and ">" through the constants of
// release_text.h, which the file then defines. Every value is expected to
// have passed the checks of release_text.h.
std::string RenderUpdateFile(const UpdateFilePlan& plan);
