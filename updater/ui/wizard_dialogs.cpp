#include "updater/ui/wizard_dialogs.h"

#include <utility>

#include "platform/path.h"
#include "updater/core/language.h"
#include "updater/core/language_ids.h"
#include "updater/core/text.h"

namespace {

// What an error's texts are filled with.
enum class Fill { kNothing, kFile, kMegabytes, kArgument, kApplication };

struct ErrorRow {
  UpdateError code;
  int caption;
  int explanation;
  Fill explanation_fill;
  int more;  // 0: none
  Fill more_fill;
};

// clang-format off
constexpr ErrorRow kErrorRows[] = {
    {UpdateError::kUnknown,          IDS_ERROR_UNKNOWN_TITLE,      IDS_ERROR_UNKNOWN_EXPLANATION,      Fill::kNothing,   0,                            Fill::kNothing},
    {UpdateError::kNoConnection,     IDS_ERROR_NOCONNECTION_TITLE, IDS_ERROR_NOCONNECTION_EXPLANATION, Fill::kNothing,   IDS_ERROR_NOCONNECTION_MORE,  Fill::kNothing},
    {UpdateError::kServer,           IDS_ERROR_SERVER_TITLE,       IDS_ERROR_SERVER_EXPLANATION,       Fill::kNothing,   IDS_ERROR_SERVER_MORE,        Fill::kNothing},
    {UpdateError::kNoDiskSpace,      IDS_ERROR_NODISKSPACE_TITLE,  IDS_ERROR_NODISKSPACE_EXPLANATION,  Fill::kMegabytes, IDS_ERROR_NODISKSPACE_MORE,   Fill::kNothing},
    {UpdateError::kFileNotFound,     IDS_ERROR_FILENOTFOUND_TITLE, IDS_ERROR_FILENOTFOUND_EXPLANATION, Fill::kFile,      IDS_ERROR_FILENOTFOUND_MORE,  Fill::kApplication},
    {UpdateError::kCopyFailed,       IDS_ERROR_COPYFILE_TITLE,     IDS_ERROR_COPYFILE_EXPLANATION,     Fill::kFile,      IDS_ERROR_COPYFILE_MORE,      Fill::kNothing},
    {UpdateError::kDeleteFailed,     IDS_ERROR_DELETEFILE_TITLE,   IDS_ERROR_DELETEFILE_EXPLANATION,   Fill::kFile,      IDS_ERROR_DELETEFILE_MORE,    Fill::kNothing},
    {UpdateError::kRunFailed,        IDS_ERROR_RUNFILE_TITLE,      IDS_ERROR_RUNFILE_EXPLANATION,      Fill::kFile,      IDS_ERROR_RUNFILE_MORE,       Fill::kNothing},
    {UpdateError::kCloseApplication, IDS_ERROR_CLOSEAPP_TITLE,     IDS_ERROR_CLOSEAPP_EXPLANATION,     Fill::kArgument,  IDS_ERROR_CLOSEAPP_MORE,      Fill::kArgument},
    {UpdateError::kFileCorrupt,      IDS_ERROR_FILECORRUPT_TITLE,  IDS_ERROR_FILECORRUPT_EXPLANATION,  Fill::kFile,      IDS_ERROR_FILECORRUPT_MORE,   Fill::kApplication},
    {UpdateError::kWriteFailed,      IDS_ERROR_WRITEFILE_TITLE,    IDS_ERROR_WRITEFILE_EXPLANATION,    Fill::kFile,      IDS_ERROR_WRITEFILE_MORE,     Fill::kNothing},
    {UpdateError::kUnzipFailed,      IDS_ERROR_UNZIPFILE_TITLE,    IDS_ERROR_UNZIPFILE_EXPLANATION,    Fill::kFile,      IDS_ERROR_UNZIPFILE_MORE,     Fill::kApplication},
};
// clang-format on

const ErrorRow& RowOf(UpdateError code) {
  for (const ErrorRow& row : kErrorRows)
    if (row.code == code) return row;
  return kErrorRows[0];
}

}  // namespace

std::string DisplayFileName(std::string_view path) {
  std::string name = platform::FileNameOf(path);
  if (const std::size_t bracket = name.rfind('('); bracket != std::string::npos)
    name.erase(bracket);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

std::int64_t MegabytesNeeded(std::int64_t bytes) { return bytes > 0 ? bytes / 1048576 : 0; }

CWizardDialogs::CWizardDialogs(const CLanguage& language, std::string application_name)
    : language_(language), application_name_(std::move(application_name)) {}

std::string CWizardDialogs::Text(int id) const { return language_.GetText(id); }

ErrorDialogRequest CWizardDialogs::Error(const ModeError& error) const {
  const ErrorRow& row = RowOf(error.code);
  const auto fill = [&](int id, Fill how) -> std::string {
    if (id == 0) return {};
    const std::string pattern = Text(id);
    switch (how) {
      case Fill::kFile:
        return FillPlaceholders(pattern, {DisplayFileName(error.item)});
      case Fill::kMegabytes:
        return FillPlaceholders(pattern, {std::to_string(MegabytesNeeded(error.argument))});
      case Fill::kArgument:
        return FillPlaceholders(pattern, {error.item});
      case Fill::kApplication:
        return FillPlaceholders(pattern, {application_name_});
      case Fill::kNothing:
        break;
    }
    return pattern;
  };
  ErrorDialogRequest request;
  request.caption = Text(row.caption);
  request.heading = Text(IDS_ERROR_TITLE);
  request.message = fill(row.explanation, row.explanation_fill);
  request.detail = fill(row.more, row.more_fill);
  request.ok_text = Text(IDS_GENERAL_OK);
  request.more_text = Text(IDS_ERROR_MORE);
  return request;
}

MessageBoxRequest CWizardDialogs::Confirmation(int caption, std::string text) const {
  MessageBoxRequest request;
  request.kind = MessageBoxKind::kQuestion;
  request.caption = Text(caption);
  request.heading = Text(IDS_CONFIRMATION_TITLE);
  request.text = std::move(text);
  request.yes_no = true;
  return request;
}

MessageBoxRequest CWizardDialogs::Question(const ModeQuestion& question,
                                           CloseApplicationMode close_mode) const {
  switch (question.id) {
    case QuestionId::kCloseApplication: {
      const int text = close_mode == CloseApplicationMode::User
                           ? IDS_CONFIRMATION_CLOSEAPPLICATION_USER_EXPLANATION
                           : IDS_CONFIRMATION_CLOSEAPPLICATION_EXPLANATION;
      return Confirmation(
          IDS_CONFIRMATION_CLOSEAPPLICATION_TITLE,
          FillPlaceholders(Text(text), {question.text, application_name_, question.text}));
    }
    case QuestionId::kRegisterFile: {
      const std::string file = platform::FileNameOf(question.text);
      return Confirmation(IDS_CONFIRMATION_REGISTER_TITLE,
                          FillPlaceholders(Text(IDS_CONFIRMATION_REGISTER_EXPLANATION),
                                           {file, application_name_, file}));
    }
    default:
      return Confirmation(IDS_CONFIRMATION_DELETEFILE_TITLE,
                          FillPlaceholders(Text(IDS_CONFIRMATION_DELETEFILE_EXPLANATION),
                                           {question.text, application_name_, question.text}));
  }
}

MessageBoxRequest CWizardDialogs::Warning(const std::string& path) const {
  MessageBoxRequest request;
  request.kind = MessageBoxKind::kWarning;
  request.caption = Text(IDS_WARNING_REGISTER_TITLE);
  request.heading = Text(IDS_WARNING_TITLE);
  request.text = FillPlaceholders(Text(IDS_WARNING_REGISTER_EXPLANATION),
                                  {DisplayFileName(path), application_name_});
  return request;
}

MessageBoxRequest CWizardDialogs::StopUpdating() const {
  return Confirmation(IDS_CONFIRMATION_STOPUPDATING_TITLE,
                      FillPlaceholders(Text(IDS_CONFIRMATION_STOPUPDATING_EXPLANATION),
                                       {application_name_, application_name_, application_name_}));
}
