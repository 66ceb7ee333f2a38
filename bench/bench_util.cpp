#include "bench/bench_util.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "platform/process.h"

namespace fs = std::filesystem;

namespace bench {

ScratchFolder::ScratchFolder(const std::string& prefix, const std::string& base) {
  std::error_code error;
  fs::path root = base.empty() ? fs::temp_directory_path(error) : fs::path(base);
  if (error) return;
  Random random(
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 16; ++attempt) {
    fs::path candidate = root / (prefix + "-" + std::to_string(random.Next() % 1000000000));
    if (fs::create_directory(candidate, error) && !error) {
      path_ = candidate.string();
      return;
    }
  }
}

ScratchFolder::~ScratchFolder() {
  if (path_.empty()) return;
  std::error_code error;
  fs::remove_all(path_, error);
}

void Random::Fill(char* data, std::size_t size) {
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t value = Next();
    std::memcpy(data + i, &value, 8);
  }
  if (i < size) {
    std::uint64_t value = Next();
    std::memcpy(data + i, &value, size - i);
  }
}

namespace {

const std::vector<std::string>& Vocabulary() {
  static const std::vector<std::string> words = [] {
    static constexpr std::array<std::string_view, 32> kStems = {
        "update", "version", "file",   "folder", "section", "install", "download", "archive",
        "value",  "record",  "server", "client", "digest",  "setting", "program",  "window",
        "task",   "thread",  "queue",  "event",  "action",  "module",  "library",  "system",
        "user",   "path",    "name",   "size",   "date",    "time",    "status",   "error"};
    static constexpr std::array<std::string_view, 8> kEndings = {"",   "s",  "ed", "ing",
                                                                 "er", "al", "ly", "ion"};
    std::vector<std::string> list;
    for (auto stem : kStems)
      for (auto ending : kEndings) list.push_back(std::string(stem) + std::string(ending));
    return list;
  }();
  return words;
}

}  // namespace

void FillText(Random& random, std::string& out, std::size_t size) {
  const auto& words = Vocabulary();  // 256 words: one byte of randomness picks one
  out.clear();
  out.reserve(size + 32);
  while (out.size() < size) {
    std::uint64_t bits = random.Next();
    for (int k = 0; k < 7; ++k, bits >>= 8) {
      out += words[bits & 0xff];
      out += ' ';
    }
    // A number and sometimes a line break, from the last byte.
    out += std::to_string(bits & 0x3f);
    out += (bits & 0xc0) == 0 ? '\n' : ' ';
  }
  out.resize(size);
}

std::uint64_t FreeBytes(const std::string& path) {
  std::error_code error;
  fs::space_info space = fs::space(path, error);
  return error ? 0 : space.available;
}

std::optional<std::string> FindProgram(const std::string& name) {
  const char* search = std::getenv("PATH");
  std::string_view rest = search ? search : "/usr/bin:/bin";
  while (true) {
    auto colon = rest.find(':');
    std::string folder(rest.substr(0, colon));
    if (!folder.empty()) {
      std::string candidate = folder + "/" + name;
      if (platform::IsExecutableFile(candidate)) return candidate;
    }
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return std::nullopt;
}

TreeSize MeasureTree(const std::string& folder) {
  TreeSize size;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file(error) && !it->is_symlink(error)) {
      ++size.files;
      size.bytes += it->file_size(error);
    }
  }
  return size;
}

void FlushDisks() {
  static const std::optional<std::string> sync = FindProgram("sync");
  if (sync) RunChild(*sync, {});
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace bench
