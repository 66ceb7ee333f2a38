#pragma once
// Creates the user-interface mode for a mode name.

#include <functional>

#include "updater/process/mode.h"

class IWindowModule;

class CModeFactory : public IModeFactory {
 public:
  // windows gives the started window module, or nullptr when there are no
  // windows to be had; it is asked only for a mode with windows.
  explicit CModeFactory(std::function<IWindowModule*()> windows = {});

  // "hidden", "full", "silent" and "verysilent" (compared exactly); nullptr for
  // any other name. A mode with windows runs like the hidden mode when no
  // window module can be had.
  std::unique_ptr<CMode> CreateMode(const std::string& name, IModeHost& host,
                                    TaskId current_task) override;

 private:
  std::function<IWindowModule*()> windows_;
};
