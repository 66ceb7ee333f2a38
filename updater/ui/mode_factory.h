#pragma once
// Creates the user-interface mode for a mode name.

#include "updater/process/mode.h"

class CModeFactory : public IModeFactory {
 public:
  // "hidden", "full", "silent" and "verysilent" (compared exactly); nullptr for
  // any other name.
  std::unique_ptr<CMode> CreateMode(const std::string& name, IModeHost& host,
                                    TaskId current_task) override;
};
