#pragma once
// How the copy program tells the user about a failure.

#include <string>

// Shows caption and text in a warning box and waits until the user closes it.
// Without a display or a dialog program, writes the text with the detail to
// standard error and to the system log instead.
void ReportCopyFailure(const std::string& caption, const std::string& text,
                       const std::string& detail);
