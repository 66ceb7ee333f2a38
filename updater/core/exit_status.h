#pragma once
// The updater's exit status, for the scripts and schedulers that start it
// (the README lists the same table).

// The update was installed, there was nothing new, or no interactive user
// was present (the updater then does nothing, by design).
inline constexpr int kExitOk = 0;
// The run failed before anything was changed (no connection, a refused update
// file, a failed download, no folder for the temporary files).
inline constexpr int kExitFailed = 1;
// The installation failed and every change it made was undone.
inline constexpr int kExitRolledBack = 2;
// The installation failed or was cancelled, and some of its changes could not
// be undone (or were not undone at all).
inline constexpr int kExitRollbackIncomplete = 3;
// The user or an event action cancelled the run; nothing was left changed.
inline constexpr int kExitCancelled = 4;
// Another run for the same application is already running.
inline constexpr int kExitAlreadyRunning = 5;
// The update was installed, but its finishing work failed (the new version
// could not be recorded in the settings file): the next run offers it again.
inline constexpr int kExitFinishFailed = 6;
// The command line was refused (the parameter-error dialog was shown).
inline constexpr int kExitWrongCommandLine = 7;
// An unexpected error escaped the start-up (a log file that cannot be made).
inline constexpr int kExitInternalError = -1;
