#pragma once
// The file names of the programs the starter deals with, with the platform's
// program suffix.

#include <string>

// "Velmora Updater": the updater, beside the starter.
std::string UpdaterProgramName();
// "Velmora Starter": the starter itself.
std::string StarterProgramName();
// "chrome": the browser's program file.
std::string BrowserProgramName();
// "Browser" + separator + the browser's program file: where the browser lies
// below the starter folder, for the running check and the start alike.
std::string BrowserRelativePath();
