#pragma once
// Makes one release: checks the options' folders, scans both releases,
// compares them, copies the new and changed files into OUTPUT/files and
// writes OUTPUT/updatefile.xml last, so that an update file is only ever
// there together with every file it names.

#include <cstddef>
#include <string>
#include <vector>

#include "tools/release/release_options.h"
#include "tools/release/update_file_writer.h"

struct ReleaseReport {
  int exit_code = kReleaseExitOk;
  std::vector<std::string> errors;  // why nothing was written (one line each)
  std::vector<std::string> notes;   // what was written, and choices made per file
  std::size_t new_files = 0;
  std::size_t changed_files = 0;
  std::size_t removed_files = 0;
  std::size_t unchanged_files = 0;
};

// Builds the release described by the options (their forms already checked by
// ParseReleaseArguments). On failure nothing is left in the output folder:
// the files copied so far are removed again, and the update file is written
// only after all of them.
ReleaseReport BuildRelease(const ReleaseOptions& options);

// The file that holds the update file in the output folder.
inline constexpr char kUpdateFileName[] = "updatefile.xml";
// The folder below the output folder that holds the published files.
inline constexpr char kPublishedFolderName[] = "files";
