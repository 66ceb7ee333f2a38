#pragma once
// The updater's own version text. Language files older than this are refused;
// the About dialog shows it as the updater's version.

inline constexpr char UPDATER_VERSION[] = "0.8.1.5";
