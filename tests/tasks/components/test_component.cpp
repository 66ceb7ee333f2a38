// A component for the registration tests. Its entry points append a line
// ("register" or "unregister") to the file named by the environment variable
// VELMORA_TEST_COMPONENT_LOG, ended by "\n" on every platform. Built three
// times: one that registers, one whose registration fails, one without entry
// points.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void Note(const char* what) {
  const char* path = std::getenv("VELMORA_TEST_COMPONENT_LOG");
  if (!path) return;
  if (std::FILE* file = std::fopen(path, "ab")) {
    std::fputs(what, file);
    std::fputc('\n', file);
    std::fclose(file);
  }
}

}  // namespace

#ifdef VELMORA_REGISTER_RESULT
extern "C" std::int32_t DllRegisterServer() {
  Note("register");
  return VELMORA_REGISTER_RESULT;
}

extern "C" std::int32_t DllUnregisterServer() {
  Note("unregister");
  return 0;
}
#else
extern "C" std::int32_t SomethingElse() {
  Note("something else");
  return 0;
}
#endif
