#pragma once
// The progress record a sub-worker of the install task (files, ini, registry)
// sends as the payload of MessageId::kInstallProgress. The message carries a copy, so
// the install task may keep reading it while the sub-worker goes on.

#include <cstdint>
#include <string>

struct InstallProgress {
  std::string item;                  // name of the current item
  std::int32_t item_done = 0;        // units of the current item done
  std::int32_t item_total = 0;       // units of the current item
  std::int32_t cumulative_done = 0;  // units this sub-worker has done over all its items
};

// Values of MessageId::kInstallPartDone: the sub-worker that has finished.
enum InstallPart : int {
  INSTALL_PART_FILES = 0,
  INSTALL_PART_INI = 1,
  INSTALL_PART_REGISTRY = 2,
};
