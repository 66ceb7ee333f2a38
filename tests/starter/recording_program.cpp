// Test helper standing in for the browser and the updater: records its
// arguments in "<its program path>.args", each followed by a zero byte.

#include <string>

#include "platform/file_system.h"

int main(int argc, char** argv) {
  std::string record;
  for (int i = 1; i < argc; ++i) {
    record += argv[i];
    record += '\0';
  }
  return platform::WriteFileAtomic(std::string(argv[0]) + ".args", record) ? 0 : 1;
}
