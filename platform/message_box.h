#pragma once
// A warning with one OK button, shown through the desktop's own dialog program.

#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace platform {

// The arguments (without the program itself) that show a warning with the
// caption and text through one dialog program: "zenity", "kdialog" or
// "xmessage". The text is shown literally (no markup). Empty for any other program.
std::vector<std::string> WarningDialogArguments(std::string_view program,
                                                const std::string& caption,
                                                const std::string& text);

// Shows the warning through the first dialog program found on the search path
// (zenity, kdialog, xmessage; xmessage only on an X display), started with an
// argument vector, and waits until the user closes it. Fails without showing
// anything when no display is set (DISPLAY, WAYLAND_DISPLAY), no dialog program
// is installed, or the dialog program could not show the warning.
Status ShowWarningMessage(const std::string& caption, const std::string& text);

}  // namespace platform
