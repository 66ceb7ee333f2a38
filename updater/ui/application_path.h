#pragma once
// The application's program as the close-application countdown looks for it:
// the settings' LOCATION with the platform's separators.

#include <string>

#include "platform/file_system.h"
#include "updater/core/updater_settings.h"

inline std::string ApplicationExecutablePath() {
  return platform::NormalizeSeparators(CUpdaterSettings::Instance().Values().location);
}
