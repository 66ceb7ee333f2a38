#include "updater/ui/window_module_loader.h"

#include <utility>

#include "platform/library.h"
#include "platform/path.h"
#include "updater/core/updater_log.h"

#ifdef VELMORA_STATIC_WINDOW_MODULE
// The module linked into the program (updater/ui/wx/module_entry.cpp).
extern "C" IWindowModule* VelmoraWindowModule();
#endif

CWindowModuleLoader::CWindowModuleLoader(std::string folder) : folder_(std::move(folder)) {}

IWindowModule* CWindowModuleLoader::Get() {
  if (!tried_) {
    tried_ = true;
    module_ = Load();
  }
  return module_;
}

IWindowModule* CWindowModuleLoader::Load() {
#ifdef VELMORA_STATIC_WINDOW_MODULE
  return StartModule(VelmoraWindowModule(), "the linked window module");
#else
  const std::string path =
      platform::JoinPath(folder_, platform::SharedLibraryFileName(kWindowModuleName));
  std::string error;
  const auto library = platform::LoadSharedLibrary(path, &error);
  if (!library) return Fail("the window module " + path + " cannot be loaded: " + error);
  const auto entry = platform::FindFunction<WindowModuleEntry>(*library, kWindowModuleEntry);
  if (!entry) return Fail("the window module " + path + " has no entry point");
  return StartModule(entry(), "the window module " + path);
#endif
}

IWindowModule* CWindowModuleLoader::StartModule(IWindowModule* module, const std::string& name) {
  if (!module) return Fail(name + " gives no windows");
  if (platform::Status started = module->Start(); !started)
    return Fail("the toolkit does not start: " + started.message());
  CUpdaterLog::Instance().WriteLine("user interface: the windows are ready");
  return module;
}

IWindowModule* CWindowModuleLoader::Fail(const std::string& why) {
  CUpdaterLog::Instance().WriteLine("user interface: no windows (" + why +
                                    "), the run goes on without them");
  return nullptr;
}
