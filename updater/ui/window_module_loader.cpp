#include "updater/ui/window_module_loader.h"

#include <utility>

#include "platform/library.h"
#include "platform/path.h"
#include "updater/core/updater_log.h"

CWindowModuleLoader::CWindowModuleLoader(std::string folder) : folder_(std::move(folder)) {}

IWindowModule* CWindowModuleLoader::Get() {
  if (!tried_) {
    tried_ = true;
    module_ = Load();
  }
  return module_;
}

IWindowModule* CWindowModuleLoader::Load() {
  const std::string path =
      platform::JoinPath(folder_, platform::SharedLibraryFileName(kWindowModuleName));
  const auto fail = [&](const std::string& why) -> IWindowModule* {
    CUpdaterLog::Instance().WriteLine("user interface: no windows (" + why +
                                      "), the run goes on without them");
    return nullptr;
  };
  std::string error;
  const auto library = platform::LoadSharedLibrary(path, &error);
  if (!library) return fail("the window module " + path + " cannot be loaded: " + error);
  const auto entry = platform::FindFunction<WindowModuleEntry>(*library, kWindowModuleEntry);
  if (!entry) return fail("the window module " + path + " has no entry point");
  IWindowModule* module = entry();
  if (!module) return fail("the window module " + path + " gives no windows");
  if (platform::Status started = module->Start(); !started)
    return fail("the toolkit does not start: " + started.message());
  CUpdaterLog::Instance().WriteLine("user interface: the windows are ready");
  return module;
}
