#pragma once
// Finds the window module beside the program, loads and starts it the first
// time a mode with windows asks for it, and keeps it for the rest of the run.
// A module that cannot be loaded or started is reported in one log line and
// asked for no more: the run goes on without windows.

#include <string>

#include "updater/ui/window_module.h"

class CWindowModuleLoader {
 public:
  // folder: where the module file lies (the program's folder).
  explicit CWindowModuleLoader(std::string folder);

  // The started module, or nullptr when it cannot be had.
  IWindowModule* Get();
  // The module when an earlier Get started it; never loads it.
  IWindowModule* Loaded() const { return module_; }

 private:
  // The module from the file beside the program, or the one linked into it
  // when the build says so (VELMORA_STATIC_WINDOW_MODULE).
  IWindowModule* Load();
  IWindowModule* StartModule(IWindowModule* module, const std::string& name);
  static IWindowModule* Fail(const std::string& why);

  std::string folder_;
  bool tried_ = false;
  IWindowModule* module_ = nullptr;
};
