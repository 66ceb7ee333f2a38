#include "updater/ui/tray_texts.h"

#include <algorithm>

#include "platform/path.h"
#include "updater/core/text.h"

namespace {

constexpr int kBarSteps = 10;
constexpr std::int64_t kKilobyte = 1024;
constexpr std::int64_t kMegabyte = 1024 * 1024;

std::string Repeated(std::string_view piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

// The last component of a path, cut before its last "(" and without trailing
// blanks ("setup (2).exe" is shown as "setup").
std::string FileDisplayName(std::string_view path) {
  std::string name = platform::FileNameOf(path);
  if (const std::size_t bracket = name.rfind('('); bracket != std::string::npos)
    name.erase(bracket);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

int FileErrorText(UpdateError code) {
  switch (code) {
    case UpdateError::kFileNotFound:
      return IDS_ERROR_FILENOTFOUND;
    case UpdateError::kCopyFailed:
      return IDS_ERROR_COPYFILE;
    case UpdateError::kDeleteFailed:
      return IDS_ERROR_DELETEFILE;
    case UpdateError::kRunFailed:
      return IDS_ERROR_RUNFILE;
    case UpdateError::kFileCorrupt:
      return IDS_ERROR_FILECORRUPT;
    case UpdateError::kWriteFailed:
      return IDS_ERROR_WRITEFILE;
    case UpdateError::kUnzipFailed:
      return IDS_ERROR_UNZIPFILE;
    default:
      return 0;
  }
}

}  // namespace

std::string ProgressBar(int percent) {
  const int full = std::clamp(percent, 0, 100) / kBarSteps;
  return "[" + Repeated("||", full) + Repeated("  ", kBarSteps - full) + "]";
}

std::string SizeText(std::int64_t bytes) {
  if (bytes < kMegabyte)
    return std::to_string(std::max<std::int64_t>(0, bytes) / kKilobyte) + " KB";
  return std::to_string(bytes / kMegabyte) + " MB";
}

std::string ProgressToolTip(const TrayProgress& progress) {
  const auto percent = [](int value) { return std::to_string(std::clamp(value, 0, 100)) + "%"; };
  const std::string item = progress.item_percent == 0 && progress.item_bytes > 0
                               ? SizeText(progress.item_bytes)
                               : percent(progress.item_percent);
  return progress.status + "\n" + progress.item_label + " " + item + "\n" +
         ProgressBar(progress.item_percent) + "\n" + progress.total_label + " " +
         percent(progress.total_percent) + "\n" + ProgressBar(progress.total_percent);
}

std::string EscapeNotificationMarkup(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string TrayErrorText(const ModeError& error, const CLanguage& language) {
  switch (error.code) {
    case UpdateError::kNoConnection:
      return language.GetText(IDS_ERROR_NOCONNECTION);
    case UpdateError::kServer:
      return language.GetText(IDS_ERROR_SERVER);
    case UpdateError::kNoDiskSpace:
      return FillPlaceholders(
          language.GetText(IDS_ERROR_NODISKSPACE),
          {std::to_string(std::max<std::int64_t>(0, error.argument) / kMegabyte)});
    case UpdateError::kCloseApplication:
      return FillPlaceholders(language.GetText(IDS_ERROR_CLOSEAPP), {error.item});
    case UpdateError::kNoNewVersion:
      return language.GetText(IDS_STATUS_NONEWVERSION);
    default:
      break;
  }
  if (const int id = FileErrorText(error.code))
    return FillPlaceholders(language.GetText(id), {FileDisplayName(error.item)});
  return language.GetText(IDS_ERROR_UNKNOWN);
}
