#pragma once
// What the fuzz targets share: the bound on an input, a scratch folder for the
// inputs that the code under test reads from files, and the check that stops
// the run (libFuzzer keeps the input that broke the property).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Largest input a target looks at; larger ones are passed over.
inline constexpr std::size_t kMaxFuzzInputBytes = 1 << 20;

// A folder of this process, removed at exit.
const std::string& ScratchFolder();
// Writes the bytes to a file of that name in the scratch folder; its path.
std::string WriteScratchFile(std::string_view name, std::string_view bytes);

// Prints the message and aborts when the condition is false.
void FuzzCheck(bool condition, std::string_view message);

inline std::string_view InputText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}
