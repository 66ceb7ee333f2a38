#include "platform/file_version.h"

#include <cstdio>
#include <vector>

#include "platform/win32/wide.h"

namespace platform {

std::optional<std::string> ReadFileVersion(const std::string& path) {
  if (path.empty()) return std::nullopt;
  const std::wstring file = WidePath(path);
  DWORD handle = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &handle);
  if (size == 0 || size > (16u << 20)) return std::nullopt;
  std::vector<unsigned char> block(size);
  if (!::GetFileVersionInfoW(file.c_str(), 0, size, block.data())) return std::nullopt;
  struct Translation {
    WORD language;
    WORD code_page;
  };
  Translation* translations = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &length) ||
      length < sizeof(Translation))
    return std::nullopt;
  wchar_t query[64];
  std::swprintf(query, 64, L"\\StringFileInfo\\%04x%04x\\FileVersion", translations[0].language,
                translations[0].code_page);
  wchar_t* text = nullptr;
  UINT characters = 0;
  if (!::VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&text), &characters) || !text)
    return std::nullopt;
  std::wstring_view version(text, characters);
  const std::size_t end = version.find(L'\0');
  if (end != std::wstring_view::npos) version = version.substr(0, end);
  return Narrow(version);
}

}  // namespace platform
