// The file format of the file-backed registry: a store that parses is written
// out and parsed again to the same bytes, and survives a few changes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/posix/registry_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxFuzzInputBytes) return 0;
  platform::RegistryStore store;
  if (!store.Parse(InputText(data, size))) {
    FuzzCheck(store.Empty(), "a refused store is left empty");
    return 0;
  }
  const std::string written = store.Serialize();
  platform::RegistryStore again;
  platform::Status reparsed = again.Parse(written);
  FuzzCheck(static_cast<bool>(reparsed), "its own output parses: " + reparsed.message());
  FuzzCheck(again.Serialize() == written, "written out the same");

  const std::vector<std::string> path = {"Software", "Fuzz"};
  bool changed = false;
  (void)store.CreateKey(path);
  FuzzCheck(
      static_cast<bool>(store.SetValue(path, "v", platform::RegistryValue::Dword(7), &changed)),
      "a value set in a created key");
  FuzzCheck(store.GetValue(path, "v") == platform::RegistryValue::Dword(7), "the value reads back");
  store.DeleteValue(path, "v", &changed);
  (void)store.DeleteKey(path, &changed);
  platform::RegistryStore last;
  FuzzCheck(static_cast<bool>(last.Parse(store.Serialize())), "the changed store parses");
  return 0;
}
