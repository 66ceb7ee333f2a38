// The INI reader and writer: a file is read, one value is set, the document
// is written back and read again, and every value reads the same before and
// after.
//
// Input: three length bytes, then that many bytes of group, key and value to
// set, then the file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "updater/core/ini_file.h"
#include "updater/core/text.h"

namespace {

constexpr std::size_t kMaxNames = 64;

// The group and key names the decoded file text shows, read loosely: every
// line that looks like "[group]" or "key=value".
std::vector<std::pair<std::string, std::string>> NamesOf(std::string_view bytes) {
  const std::string text = DecodeTextFile(bytes);
  std::vector<std::pair<std::string, std::string>> names;
  std::string group;
  std::size_t begin = 0;
  while (begin <= text.size() && names.size() < kMaxNames) {
    std::size_t end = text.find_first_of("\r\n", begin);
    if (end == std::string::npos) end = text.size();
    std::string line = TrimWhitespace(std::string_view(text).substr(begin, end - begin));
    if (!line.empty() && line.front() == '[') {
      group = line.substr(1, line.find(']') - 1);
    } else if (std::size_t equals = line.find('='); equals != std::string::npos) {
      names.emplace_back(group, line.substr(0, equals));
    }
    begin = end + 1;
  }
  return names;
}

void CheckSameValues(const CIniFile& before, const CIniFile& after,
                     const std::vector<std::pair<std::string, std::string>>& names) {
  for (const auto& [group, key] : names) {
    FuzzCheck(before.HasValue(group, key) == after.HasValue(group, key),
              "key present after writing back: [" + group + "] " + key);
    FuzzCheck(before.GetValue(group, key, "\x01") == after.GetValue(group, key, "\x01"),
              "value read back: [" + group + "] " + key);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3 || size > kMaxFuzzInputBytes) return 0;
  std::string_view input = InputText(data, size);
  std::size_t lengths[3] = {data[0], data[1], data[2]};
  input.remove_prefix(3);
  std::string_view parts[3];
  for (int i = 0; i < 3; ++i) {
    parts[i] = input.substr(0, lengths[i]);
    input.remove_prefix(parts[i].size());
  }
  const auto [group, key, value] = parts;
  const std::string_view file = input;

  CIniFile document;
  document.Parse(file);
  auto names = NamesOf(file);
  names.emplace_back(std::string(group), std::string(key));

  // Written back unchanged and read again.
  CIniFile reread;
  reread.Parse(document.Serialize());
  CheckSameValues(document, reread, names);
  FuzzCheck(reread.Serialize() == document.Serialize(), "writing back is stable");

  // One value set, then written back and read again.
  if (document.SetValue(group, key, value)) {
    if (IsValidUtf8(value)) {
      FuzzCheck(
          document.GetValue(group, key, "\x01") == TruncateUtf16(value, CIniFile::kMaxValueUnits),
          "the value set reads back");
    }
    CIniFile changed;
    changed.Parse(document.Serialize());
    if (IsValidUtf8(group) && IsValidUtf8(key) && IsValidUtf8(value))
      CheckSameValues(document, changed, names);
  }
  return 0;
}
