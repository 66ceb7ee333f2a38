#pragma once
// Shared libraries: loading one and finding a function it exports. A loaded
// library stays loaded until the process ends.

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace platform {

using LibraryHandle = void*;
// An exported function without arguments that returns a 32-bit result (the
// form of the registration entry points of components).
using LibraryEntryPoint = std::int32_t (*)();

// Loads the library at path (made absolute first, so that no search path is
// consulted) with all its symbols resolved; nullopt with the reason in error
// when it cannot be loaded.
std::optional<LibraryHandle> LoadSharedLibrary(const std::string& path,
                                               std::string* error = nullptr);
// The exported function of that name, or nullptr when the library has none.
LibraryEntryPoint FindEntryPoint(LibraryHandle library, const std::string& name);
// The address of the exported symbol of that name, or nullptr.
void* FindSymbol(LibraryHandle library, const std::string& name);
// The exported function of that name as the given function-pointer type, or
// nullptr. The caller knows the function's type; nothing checks it.
template <typename Function>
Function FindFunction(LibraryHandle library, const std::string& name) {
  void* symbol = FindSymbol(library, name);
  Function function = nullptr;
  static_assert(sizeof function == sizeof symbol);
  if (symbol) std::memcpy(&function, &symbol, sizeof function);
  return function;
}
// The file name of a shared library of the program on this system
// ("libNAME.so" on Linux).
std::string SharedLibraryFileName(const std::string& name);

}  // namespace platform
