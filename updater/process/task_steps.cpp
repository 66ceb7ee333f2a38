#include "updater/process/task_steps.h"

namespace {

bool ShowsHtmlMessage(const CUpdateFileData& data) { return !data.html_message_url.empty(); }
bool ShowsLicense(const CUpdateFileData& data) { return !data.license.empty(); }
bool ShowsSections(const CUpdateFileData& data) { return !data.sections.empty(); }

// clang-format off
constexpr TaskStep kTaskSteps[] = {
    // id                   log name             before event          after event          started  thread  shows             moves on
    {TaskId::kInit,         "TASK_INIT",         nullptr,              nullptr,             false,   false,  nullptr,          false},
    {TaskId::kCheckVersion, "TASK_CHECKVERSION", nullptr,              "ONNEWVERSION",      true,    true,   nullptr,          false},
    {TaskId::kHtmlMessage,  "TASK_HTMLMESSAGE",  "BEFOREHTMLMESSAGE",  "AFTERHTMLMESSAGE",  true,    false,  ShowsHtmlMessage, true},
    {TaskId::kLicense,      "TASK_LICENSE",      "BEFORELICENSE",      "AFTERLICENSE",      true,    false,  ShowsLicense,     true},
    {TaskId::kSelectUpdate, "TASK_SELECTUPDATE", "BEFORESELECTUPDATE", "AFTERSELECTUPDATE", true,    false,  ShowsSections,    true},
    {TaskId::kDownload,     "TASK_DOWNLOAD",     "BEFOREDOWNLOAD",     "AFTERDOWNLOAD",     true,    true,   nullptr,          false},
    {TaskId::kInstall,      "TASK_INSTALL",      "BEFOREINSTALL",      "AFTERINSTALL",      true,    true,   nullptr,          false},
    {TaskId::kRollback,     "TASK_ROLLBACK",     "BEFOREROLLBACK",     "AFTERROLLBACK",     true,    true,   nullptr,          false},
};
// clang-format on

}  // namespace

std::span<const TaskStep> TaskSteps() { return kTaskSteps; }

const TaskStep* FindTaskStep(TaskId task) {
  for (const TaskStep& step : kTaskSteps)
    if (step.id == task) return &step;
  return nullptr;
}
