#pragma once
// The self-update description "selfupdate.xml": the current version of the
// updater itself and where to fetch it,
//
//   <SELFUPDATE> <VERSION>0.8.1.6</VERSION> <LOCATION>https://host/updater</LOCATION> </SELFUPDATE>

#include <string>

// What the last self-update description said; one process-wide record that
// keeps its values for the whole run.
struct CSelfUpdateInfo {
  // The process-wide record, created on first use with the initial values.
  static CSelfUpdateInfo& Instance();
  // Puts the initial values back (tests).
  static void ResetInstance();

  std::string location;
  std::string version = OwnUpdaterVersionText();

  // The running updater's own version text: the version compiled into it.
  static std::string OwnUpdaterVersionText();
};

// Fills version and location from a plain-text self-update description: the
// raw text of the first VERSION of the first top-level SELFUPDATE, and of the
// first LOCATION that follows that VERSION. Without SELFUPDATE or VERSION the
// record stays as it was; without a following LOCATION its location does.
void ReadSelfUpdateFile(const std::string& path, CSelfUpdateInfo& info);

// True when the record's version differs from the running updater's own
// version text, compared exactly as text (no version arithmetic: "1.0" and
// "1.0.0.0" differ, and an older version is due as well as a newer one).
bool IsSelfUpdateDue(const CSelfUpdateInfo& info);
