#pragma once
// The texts of the silent modes' tray: the progress tool tip with its text
// progress bars, the error texts, and the notification service's markup.

#include <cstdint>
#include <string>
#include <string_view>

#include "updater/core/language.h"
#include "updater/ui/mode_base.h"

// A text progress bar: "[", "||" for every full ten percent, two blanks for
// each of the remaining tenths, "]". The percent is taken as 0 to 100.
std::string ProgressBar(int percent);

// A byte count for people: whole kilobytes ("512 KB") below a megabyte, else
// whole megabytes ("10 MB"), truncated; a negative count is "0 KB".
std::string SizeText(std::int64_t bytes);

// What the progress tool tip shows.
struct TrayProgress {
  std::string status;      // the first line ("Downloading files...")
  std::string item_label;  // starts the second line
  int item_percent = 0;
  // The bytes of an item of unknown size received so far; shown instead of
  // the item's percent when that is 0.
  std::int64_t item_bytes = 0;
  std::string total_label;  // "Total progress:"
  int total_percent = 0;
};

// The tool tip of a running task, five lines: the status; the item label
// with the item's percent (or its size so far); the item's bar; the total
// label with the total percent; the total bar. Not yet cut to the tray's
// length.
std::string ProgressToolTip(const TrayProgress& progress);

// The text for the notification service's markup: "&", "<" and ">" written as
// character references, so that a text from the update file shows as written.
std::string EscapeNotificationMarkup(std::string_view text);

// The tray's text of an error: the short error texts with the file's display
// name, the megabytes needed or the application's name.
std::string TrayErrorText(const ModeError& error, const CLanguage& language);
