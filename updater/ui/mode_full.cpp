#include "updater/ui/mode_full.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "updater/core/language.h"
#include "updater/core/updater_settings.h"
#include "updater/description/installed_sections.h"
#include "updater/description/update_file_data.h"
#include "updater/ui/application_path.h"
#include "updater/ui/section_selection.h"

namespace {

CUpdateFileData& Data() { return CUpdateFileData::Instance(); }

const std::string& ApplicationName() { return CUpdaterSettings::Instance().Values().name; }

int Percent(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, 0, 100));
}

// Stands in for a module without a wizard: shows nothing.
class CNoWizardView : public IWizardView {
 public:
  void ShowPage(WizardPage, const WizardPageTexts&) override {}
  void SetButtons(const WizardButtons&) override {}
  void SetStatus(const std::string&) override {}
  void SetFeatures(const std::string&, const std::vector<FeatureLine>&) override {}
  void SetSections(const std::vector<SectionRow>&) override {}
  void SetSectionDetails(const SectionDetails&) override {}
  void SetItemProgress(int, const std::optional<std::string>&) override {}
  void SetTotalProgress(int, const std::string&) override {}
  bool ShortcutsChecked() const override { return true; }
};

}  // namespace

CModeFull::CModeFull(IModeHost& host, TaskId current_task, IWindowModule& windows)
    : CModeBase(host),
      windows_(windows),
      initial_task_(current_task),
      texts_(CLanguage::Instance(), ApplicationName()),
      dialogs_(CLanguage::Instance(), ApplicationName()),
      state_(texts_.Next()) {}

CModeFull::~CModeFull() = default;

void CModeFull::Create() {
  view_ = windows_.CreateWizard(texts_.Frame(CUpdaterSettings::Instance().Values()), *this);
  if (!view_) view_ = std::make_unique<CNoWizardView>();
  UpdateButtons();
  // Catch up at once: the page of the running task before anything else.
  OnTaskStarted(initial_task_);
}

void CModeFull::OnTaskStarted(TaskId task) {
  const std::optional<WizardPage> page = state_.TaskStarted(task);
  if (!page) return;
  countdown_.Stop();
  if (task == TaskId::kSelectUpdate) {
    ShowSelection();
    return;
  }
  ShowPage(*page);
  if (task == TaskId::kHtmlMessage) StartCountdown();
  UpdateButtons();
}

void CModeFull::OnTaskComplete(TaskId task, std::int64_t /*result*/) {
  state_.TaskComplete(task);
  if (task == TaskId::kCheckVersion) {
    const CUpdateFileData& data = Data();
    view_->SetStatus(texts_.NewVersionStatus(data.version));
    view_->SetFeatures(texts_.FeaturesHeading(data.features),
                       CWizardTexts::FeatureLines(data.features));
  }
  UpdateButtons();
}

void CModeFull::OnItemProgress(const ItemProgress& progress) {
  std::optional<std::string> label = texts_.FileProgress(progress.item);
  if (*label == item_label_)
    label.reset();  // a steady text is not written again
  else
    item_label_ = *label;
  view_->SetItemProgress(Percent(progress.percent), label);
}

void CModeFull::OnTotalProgress(int percent) {
  view_->SetTotalProgress(Percent(percent), texts_.TotalProgress());
}

void CModeFull::OnError(const ModeError& error) {
  if (error.code == UpdateError::kNoNewVersion) {
    // No dialog: the check page says so and only Finish is left.
    state_.NoNewVersion();
    view_->SetStatus(texts_.NoNewVersionStatus());
    UpdateButtons();
    return;
  }
  windows_.Dialogs().ShowError(dialogs_.Error(error));
  if (error.code == UpdateError::kServer)
    Host().PostToProcess(MakeMessage(MessageId::kQuit));  // ends without a rollback
  else
    Command(CommandCode::kStartTask, ToNumber(TaskId::kRollback));
}

void CModeFull::OnWarning(const std::string& item) {
  windows_.Dialogs().ShowMessageBox(dialogs_.Warning(item));
  AcknowledgeWarning();
}

void CModeFull::OnQuestion(const ModeQuestion& question) {
  if (question.id == QuestionId::kProxyCredentials) {
    if (auto typed = windows_.AskProxyCredentials())
      AnswerCredentials(question, std::move(typed->user_name), std::move(typed->password));
    else
      Answer(question, false);
    return;
  }
  const CloseApplicationMode close_mode = Data().close_application;
  bool yes = AskYes(dialogs_.Question(question, close_mode));
  // After a yes the application is closed with the countdown (yes once it is
  // gone). When the person was asked to close it, the installation looks
  // again itself.
  if (yes && question.id == QuestionId::kCloseApplication &&
      close_mode != CloseApplicationMode::User)
    yes = windows_.CloseApplication(question.text, ApplicationExecutablePath());
  Answer(question, yes);
}

void CModeFull::OnTimer(std::int64_t timer, std::int64_t round) {
  if (timer != kCountdownTimer || !countdown_.Tick(round)) return;
  if (countdown_.Running()) {
    state_.SetNextLabel(texts_.NextCountdown(countdown_.Left()));
    StartTimer(kCountdownTimer, countdown_.Round(), kCountdownStepMs);
  } else {
    state_.SetNextLabel(texts_.Next());
    state_.EnableForward(true);
  }
  UpdateButtons();
}

void CModeFull::OnNext() { Forward(); }

void CModeFull::OnFinish() {
  if (ended_ || !state_.FinishPressed()) return;
  if (state_.Page() == WizardPage::kFinish)
    Data().shortcuts_accepted = !shortcuts_shown_ || view_->ShortcutsChecked();
  ended_ = true;
  Command(CommandCode::kFinish);
}

void CModeFull::OnCancel() {
  switch (state_.Cancel(Data().force_update)) {
    case CancelStep::kFinish:
      OnFinish();
      break;
    case CancelStep::kAsk:
      if (AskYes(dialogs_.StopUpdating())) {
        state_.CancelRequested();
        Command(CommandCode::kCancel);
        UpdateButtons();
      }
      break;
    case CancelStep::kNothing:
      break;
  }
}

void CModeFull::OnAboutLink() { Host().PostToProcess(MakeMessage(MessageId::kShowAbout)); }

void CModeFull::OnHideInTray() {
  if (!state_.Buttons(Data().force_update).hide_enabled) return;
  Host().PostToProcess(MakeMessage(MessageId::kChangeMode, 0, 0, "silent"));
}

void CModeFull::OnLicenseChoice(bool agree) {
  if (state_.CurrentTask() != TaskId::kLicense) return;
  state_.EnableForward(agree);
  UpdateButtons();
}

void CModeFull::OnSectionToggled(std::size_t row) {
  // Shown again either way: a disabled row's check box goes back at once.
  tree_.Toggle(row);
  view_->SetSections(tree_.Rows());
}

void CModeFull::OnSectionSelected(std::size_t row) {
  if (row >= tree_.Rows().size()) return;
  if (const CSectionData* section = FindSectionByTitle(Data().sections, tree_.Rows()[row].title))
    view_->SetSectionDetails(DetailsOf(*section, texts_.MoreInformation()));
}

void CModeFull::ShowPage(WizardPage page) {
  const WizardPageTexts texts = texts_.Page(page, Data());
  item_label_ = texts.item_label;
  shortcuts_shown_ = texts.shortcuts_shown;
  view_->ShowPage(page, texts);
}

void CModeFull::ShowSelection() {
  const CUpdateFileData& data = Data();
  tree_ = CSectionTree(OfferedSections(data.sections, CInstalledSections::Instance()));
  if (tree_.Empty()) {
    // Nothing to choose: the selection as the file has it stands.
    Forward();
    return;
  }
  ShowPage(WizardPage::kSelectUpdate);
  view_->SetSections(tree_.Rows());
  view_->SetSectionDetails(DetailsOf(data.sections.front(), texts_.MoreInformation()));
  UpdateButtons();
}

void CModeFull::StartCountdown() {
  const int seconds = Data().html_message_time;
  if (seconds <= 0) {
    state_.EnableForward(true);
    return;
  }
  countdown_.Start(seconds);
  state_.SetNextLabel(texts_.NextCountdown(countdown_.Left()));
  StartTimer(kCountdownTimer, countdown_.Round(), kCountdownStepMs);
}

void CModeFull::Forward() {
  const TaskId task = state_.CurrentTask();
  switch (state_.Forward()) {
    case ForwardStep::kNothing:
      return;
    case ForwardStep::kShowFinish:
      ShowPage(WizardPage::kFinish);
      break;
    case ForwardStep::kCompleteTask:
      if (task == TaskId::kSelectUpdate) StoreSelection(tree_.Rows(), Data().sections);
      CompleteTask(task);
      break;
    case ForwardStep::kStartNext:
      Command(CommandCode::kNextTask);
      break;
  }
  UpdateButtons();
}

void CModeFull::UpdateButtons() { view_->SetButtons(state_.Buttons(Data().force_update)); }

bool CModeFull::AskYes(const MessageBoxRequest& request) {
  // Only Yes answers yes: No, Escape and the close box do not.
  return windows_.Dialogs().ShowMessageBox(request) == MessageBoxAnswer::kYes;
}
