#include "updater/tasks/install/component_registration.h"

#include "platform/file_system.h"
#include "platform/library.h"
#include "updater/core/updater_log.h"

namespace {

bool CallEntryPoint(const std::string& path, const char* name) {
  const std::string file = platform::NormalizeSeparators(path);
  if (!platform::FileExists(file)) {
    CUpdaterLog::Instance().WriteLine("component " + file + " not found");
    return false;
  }
  std::string error;
  auto library = platform::LoadSharedLibrary(file, &error);
  if (!library) {
    CUpdaterLog::Instance().WriteLine("cannot load component " + file + ": " + error);
    return false;
  }
  platform::LibraryEntryPoint entry = platform::FindEntryPoint(*library, name);
  if (!entry) {
    CUpdaterLog::Instance().WriteLine("component " + file + " has no " + name);
    return false;
  }
  return entry() >= 0;
}

}  // namespace

bool RegisterComponent(const std::string& path) {
  return CallEntryPoint(path, "DllRegisterServer");
}

bool UnregisterComponent(const std::string& path) {
  return CallEntryPoint(path, "DllUnregisterServer");
}
