#include "platform/library.h"

#include "platform/system_paths.h"
#include "platform/win32/wide.h"

namespace platform {

std::optional<LibraryHandle> LoadSharedLibrary(const std::string& path, std::string* error) {
  if (path.empty()) {
    if (error) *error = "no library named";
    return std::nullopt;
  }
  // An absolute path, and the library's own folder for the libraries it needs.
  const std::string full = FullPath(path);
  HMODULE module = ::LoadLibraryExW(WidePath(full).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) {
    if (error) *error = "cannot load '" + full + "': " + ErrorText(::GetLastError());
    return std::nullopt;
  }
  return static_cast<LibraryHandle>(module);
}

void* FindSymbol(LibraryHandle library, const std::string& name) {
  if (!library) return nullptr;
  FARPROC address = ::GetProcAddress(static_cast<HMODULE>(library), name.c_str());
  void* symbol = nullptr;
  static_assert(sizeof symbol == sizeof address);
  if (address) std::memcpy(&symbol, &address, sizeof symbol);
  return symbol;
}

LibraryEntryPoint FindEntryPoint(LibraryHandle library, const std::string& name) {
  return FindFunction<LibraryEntryPoint>(library, name);
}

std::string SharedLibraryFileName(const std::string& name) { return name + ".dll"; }

}  // namespace platform
