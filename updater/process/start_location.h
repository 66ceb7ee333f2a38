#pragma once
// The start of a "run" location, the one way for the event actions (RUN) and
// the install's run action: what is started, where, and how.

#include <string>

#include "platform/process.h"

// A run location made ready to start.
struct RunTarget {
  std::string location;        // a web location unchanged, a path with platform separators
  std::string working_folder;  // the folder of the path ("" for a bare name: the current
                               // folder); "" for a web location
  bool web = false;            // a web location: opened, never looked for on disk
};

// The target of a location from an update file or the settings.
RunTarget RunTargetOf(const std::string& location);

// True when a location is opened with the desktop's opener rather than run:
// a web location, or a document (a file that is neither a program by its first
// bytes nor executable).
bool OpensWithDesktop(const std::string& location);

// Starts a location the way "run" actions do: a program (see
// platform::IsProgramFile) is made executable for its owner and started with
// its parameters split into an argument vector in working_folder; a web
// location or a document goes to the desktop's opener (pid 0, the opener's
// child released). A started program belongs to the caller.
platform::StartResult StartLocation(const std::string& location, const std::string& parameters,
                                    const std::string& working_folder);
