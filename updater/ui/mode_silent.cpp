#include "updater/ui/mode_silent.h"

#include <utility>

#include "platform/file_system.h"
#include "platform/path.h"
#include "updater/core/language.h"
#include "updater/core/language_ids.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/description/update_file_data.h"
#include "updater/process/start_location.h"
#include "updater/process/system_process_services.h"

namespace {

constexpr char kInitialStatus[] = "Updater";
constexpr char kAboutText[] = "About Updater...";
constexpr char kExitText[] = "Exit";
constexpr char kSeparatorText[] = "-";

bool IsInteractiveTask(TaskId task) {
  return task == TaskId::kHtmlMessage || task == TaskId::kLicense || task == TaskId::kSelectUpdate;
}

std::string Text(int id) { return CLanguage::Instance().GetText(id); }

const SettingsValues& Settings() { return CUpdaterSettings::Instance().Values(); }

CUpdateFileData& Data() { return CUpdateFileData::Instance(); }

void Log(const std::string& line) { CUpdaterLog::Instance().WriteLine(line); }

// The popup item's image: the file of the same name that the update
// downloaded into the updater's temporary folder.
std::string PopupImage(const CPopupItemData& item) {
  if (item.bitmap.empty()) return {};
  const std::string& folder = CUpdaterPaths::Instance().Entry(kPathUpdaterTemp);
  if (folder.empty()) return {};
  return platform::JoinPath(folder, platform::FileNameOf(item.bitmap));
}

}  // namespace

CModeSilent::CModeSilent(IModeHost& host, TaskId current_task, std::string mode,
                         IWindowModule& windows, TrayViewFactory create_tray,
                         IProcessServices& programs)
    : CModeBase(host),
      current_task_(current_task),
      mode_(std::move(mode)),
      windows_(windows),
      create_tray_(std::move(create_tray)),
      programs_(programs),
      notifier_(NotifierTimingOf(Settings()), NotifierLookOf(Settings()).close_rect) {
  progress_.status = kInitialStatus;
  progress_.total_label = Text(IDS_FULL_TOTALPROGRESS);
}

CModeSilent::~CModeSilent() = default;

IProcessServices& CModeSilent::SystemPrograms() {
  static CSystemProcessServices programs;
  return programs;
}

void CModeSilent::Create() {
  TrayFrame frame;
  frame.icon_file = Settings().icon;
  frame.tool_tip = TruncateUtf16(Text(IDS_SILENT_WELCOME), kToolTipUnits);
  frame.menu = Menu();
  if (create_tray_) tray_ = create_tray_(frame, *this);
  if (!tray_)
    Log("silent mode: no tray icon could be made; the run goes on without it");
  else if (!tray_->HasTray())
    Log("silent mode: the desktop has no notification area; the run goes on without the icon");
  else
    Log("silent mode: the icon is in the desktop's notification area");
  if (Settings().custom_notify) EnsureNotifier();
  // Catch up: enter the state of the running task before anything else arrives.
  Host().PostToInterface(MakeMessage(MessageId::kTaskStarted, current_task_, 0));
}

TrayMenu CModeSilent::Menu() const {
  TrayMenu menu;
  if (rolling_back_) return menu;  // no menu while the changes are undone
  menu.items.push_back(TrayMenuItem{kTrayCommandAbout, kAboutText, false, true, {}});
  menu.items.push_back(TrayMenuItem{0, {}, true, true, {}});
  if (finished_ && !rolled_back_) {
    const auto& items = Data().popup_items;
    for (std::size_t i = 0; i < items.size() && i < kMaxPopupItems; ++i) {
      if (items[i].text == kSeparatorText)
        menu.items.push_back(TrayMenuItem{0, {}, true, true, {}});
      else
        menu.items.push_back(TrayMenuItem{kTrayCommandFirstPopupItem + static_cast<int>(i),
                                          items[i].text, false, true, PopupImage(items[i])});
    }
  }
  // Forced updates cannot be left before they are done.
  menu.items.push_back(
      TrayMenuItem{kTrayCommandExit, kExitText, false, finished_ || !Data().force_update, {}});
  return menu;
}

void CModeSilent::UpdateMenu() {
  if (tray_) tray_->SetMenu(Menu());
}

void CModeSilent::SetToolTip(const std::string& text) {
  if (tray_) tray_->SetToolTip(TruncateUtf16(text, kToolTipUnits));
}

void CModeSilent::PostDelayed(Message message, std::int64_t delay_ms) {
  if (delay_ms > 0)
    Host().PostToProcessDelayed(std::move(message), delay_ms);
  else
    Host().PostToProcess(std::move(message));
}

bool CModeSilent::EnsureNotifier() {
  if (notifier_window_) return true;
  if (!tray_) return false;
  notifier_window_ = tray_->CreateNotifier(NotifierLookOf(Settings()), notifier_);
  if (!notifier_window_) return false;
  notifier_.Attach(*notifier_window_);
  return true;
}

void CModeSilent::Deliver(const std::string& balloon_title, const std::string& popup_title,
                          const std::string& text, NotificationKind kind) {
  if (!Settings().custom_notify && tray_) {
    TrayBalloon balloon;
    balloon.title = TruncateUtf16(balloon_title, kBalloonTitleUnits);
    balloon.text = TruncateUtf16(text, kBalloonTextUnits);
    balloon.markup = EscapeNotificationMarkup(balloon.text);
    balloon.kind = kind;
    if (tray_->ShowBalloon(balloon)) return;
    Log("silent mode: the desktop did not show the notification; the popup shows it");
  }
  if (EnsureNotifier()) notifier_.Show(popup_title, text);
}

void CModeSilent::Notify(const std::string& text, NotificationKind kind) {
  if (skip_next_notification_) {
    skip_next_notification_ = false;  // an event's notification is still showing
    return;
  }
  if (!Silent()) return;
  const std::string title = Text(IDS_SILENT_NOTIFICATION);
  Deliver(kind == NotificationKind::kError ? Text(IDS_SILENT_ERROR) : title, title, text, kind);
}

void CModeSilent::StartAnimation(TrayAnimation animation, int status_text) {
  if (status_text != 0) {
    progress_.status = Text(status_text);
    progress_.item_percent = 0;
    progress_.item_bytes = 0;
    progress_.total_percent = 0;
  }
  if (tray_) tray_->Animate(animation);
}

void CModeSilent::OnTaskStarted(TaskId task) {
  current_task_ = task;
  if (IsInteractiveTask(task)) {
    // No HTML message, the licence counts as accepted, the default selection stands.
    CompleteTask(task);
    return;
  }
  switch (task) {
    case TaskId::kCheckVersion:
      StartAnimation(TrayAnimation::kCheck, 0);
      Notify(Text(IDS_SILENT_CHECKVERSION), NotificationKind::kInformation);
      break;
    case TaskId::kDownload:
      StartAnimation(TrayAnimation::kDownload, IDS_SILENT_DOWNLOAD);
      Notify(Text(IDS_SILENT_DOWNLOAD), NotificationKind::kInformation);
      break;
    case TaskId::kInstall:
      StartAnimation(TrayAnimation::kInstall, IDS_SILENT_INSTALL);
      Notify(Text(IDS_SILENT_INSTALL), NotificationKind::kInformation);
      break;
    case TaskId::kRollback:
      rolling_back_ = true;
      UpdateMenu();
      Notify(Text(IDS_SILENT_ROLLBACK), NotificationKind::kInformation);
      break;
    default:
      break;
  }
}

void CModeSilent::OnTaskComplete(TaskId task, std::int64_t /*result*/) {
  switch (task) {
    case TaskId::kInstall: {
      if (tray_) {
        tray_->StopAnimation();
        tray_->SetIcon(TrayIcon::kFinished);
      }
      if (Silent()) {
        const std::string text = FillPlaceholders(Text(IDS_SILENT_FINISH), {Data().version});
        Notify(text, NotificationKind::kInformation);
        SetToolTip(text);
      }
      finished_ = true;
      UpdateMenu();
      // The popup items stay in the menu until the person leaves with Exit;
      // without a notification area nobody could, so the run ends.
      if (!Data().popup_items.empty() && tray_ && tray_->HasTray()) return;
      Command(CommandCode::kFinish);
      return;
    }
    case TaskId::kRollback:
      finished_ = true;
      rolling_back_ = false;
      rolled_back_ = true;
      UpdateMenu();
      PostDelayed(MakeMessage(MessageId::kCommand, CommandCode::kFinish, 0),
                  Data().show_errors ? kErrorPauseMs : 0);
      return;
    default:
      // The process moves on by itself after the interactive tasks.
      if (finished_ || IsInteractiveTask(task)) return;
      Host().PostToProcessDelayed(
          MakeMessage(MessageId::kCommand, CommandCode::kStartTask, ToNumber(task) + 1),
          kNextTaskPauseMs);
      return;
  }
}

void CModeSilent::OnStatusChanged() {
  if (!finished_) SetToolTip(ProgressToolTip(progress_));
}

void CModeSilent::OnItemProgress(const ItemProgress& progress) {
  progress_.item_percent = progress.percent;
  progress_.item_bytes = progress.bytes;
  OnStatusChanged();
}

void CModeSilent::OnTotalProgress(int percent) {
  progress_.total_percent = percent;
  OnStatusChanged();
}

void CModeSilent::OnError(const ModeError& error) {
  const std::string text = TrayErrorText(error, CLanguage::Instance());
  SetToolTip(text);
  if (tray_) tray_->StopAnimation();
  std::int64_t pause = 0;
  if (error.code == UpdateError::kNoNewVersion) {
    if (tray_) tray_->SetIcon(TrayIcon::kFinished);
    finished_ = true;
    UpdateMenu();
    Notify(text, NotificationKind::kInformation);
  } else {
    if (!Data().show_errors) {
      if (tray_) tray_->HideIcon();
    } else {
      if (tray_) tray_->SetIcon(TrayIcon::kError);
      if (Silent()) {
        if (skip_next_notification_)
          skip_next_notification_ = false;
        else
          Deliver(Text(IDS_SILENT_ERROR), Text(IDS_SILENT_NOTIFICATION), text,
                  NotificationKind::kError);
        pause = kErrorPauseMs;
      }
    }
    // Always: without the rollback the run would never end.
    PostDelayed(
        MakeMessage(MessageId::kCommand, CommandCode::kStartTask, ToNumber(TaskId::kRollback)),
        pause);
  }
  if (finished_)
    Host().PostToProcessDelayed(MakeMessage(MessageId::kCommand, CommandCode::kFinish, 0),
                                pause + kErrorEndPauseMs);
}

void CModeSilent::OnWarning(const std::string& item) {
  Notify(FillPlaceholders(Text(IDS_WARNING_REGISTER), {item}), NotificationKind::kWarning);
  Host().PostToProcessDelayed(MakeMessage(MessageId::kWarningAck), kWarningPauseMs);
}

bool CModeSilent::Confirm(int caption, const std::string& text) {
  MessageBoxRequest request;
  request.kind = MessageBoxKind::kQuestion;
  request.caption = Text(caption);
  request.heading = Text(IDS_CONFIRMATION_TITLE);
  request.text = text;
  request.yes_no = true;
  // Only Yes answers yes: No, Escape and the close box do not.
  return windows_.Dialogs().ShowMessageBox(request) == MessageBoxAnswer::kYes;
}

void CModeSilent::OnQuestion(const ModeQuestion& question) {
  if (question.id == QuestionId::kProxyCredentials) {
    // Only a person at a dialog can give them; the very silent mode has none.
    if (Silent()) {
      if (auto typed = windows_.AskProxyCredentials()) {
        AnswerCredentials(question, std::move(typed->user_name), std::move(typed->password));
        return;
      }
    }
    Answer(question, false);
    return;
  }
  if (!Silent()) {
    Answer(question, true);
    return;
  }
  const std::string& application = Settings().name;
  bool yes = false;
  switch (question.id) {
    case QuestionId::kCloseApplication:
      yes = Confirm(IDS_CONFIRMATION_CLOSEAPPLICATION_TITLE,
                    FillPlaceholders(Text(IDS_CONFIRMATION_CLOSEAPPLICATION_EXPLANATION),
                                     {question.text, application, question.text}));
      // After a yes the application is closed with the countdown (yes once it is gone).
      if (yes)
        yes = windows_.CloseApplication(question.text,
                                        platform::NormalizeSeparators(Settings().location));
      break;
    case QuestionId::kRegisterFile: {
      const std::string file = platform::FileNameOf(question.text);
      yes = Confirm(
          IDS_CONFIRMATION_REGISTER_TITLE,
          FillPlaceholders(Text(IDS_CONFIRMATION_REGISTER_EXPLANATION), {file, application, file}));
      break;
    }
    default:
      yes = Confirm(IDS_CONFIRMATION_DELETEFILE_TITLE,
                    FillPlaceholders(Text(IDS_CONFIRMATION_DELETEFILE_EXPLANATION),
                                     {question.text, application, question.text}));
      break;
  }
  Answer(question, yes);
}

void CModeSilent::OnNotifier(const std::string& title, const std::string& text) {
  // The update file's own notification: in both modes, whatever was swallowed.
  Deliver(title, title, text, NotificationKind::kInformation);
  skip_next_notification_ = true;
}

void CModeSilent::OnMenuCommand(int command) {
  if (command == kTrayCommandAbout) {
    Host().PostToProcess(MakeMessage(MessageId::kShowAbout));
  } else if (command == kTrayCommandExit) {
    AskExit();
  } else if (command >= kTrayCommandFirstPopupItem &&
             command < kTrayCommandFirstPopupItem + static_cast<int>(kMaxPopupItems)) {
    RunPopupItem(static_cast<std::size_t>(command - kTrayCommandFirstPopupItem));
  }
}

void CModeSilent::OnIconActivated() {
  // A double click opens what the menu's first item opens: the About box.
  if (!rolling_back_) Host().PostToProcess(MakeMessage(MessageId::kShowAbout));
}

void CModeSilent::AskExit() {
  if (finished_) {
    Command(CommandCode::kFinish);
    return;
  }
  if (Data().force_update) return;  // greyed until the update is done
  const std::string& application = Settings().name;
  if (!Confirm(IDS_CONFIRMATION_STOPUPDATING_TITLE,
               FillPlaceholders(Text(IDS_CONFIRMATION_STOPUPDATING_EXPLANATION),
                                {application, application, application})))
    return;
  // The run may have finished while the question was open.
  Command(finished_ ? CommandCode::kFinish : CommandCode::kCancel);
}

void CModeSilent::RunPopupItem(std::size_t index) {
  const auto& items = Data().popup_items;
  if (!finished_ || rolled_back_ || index >= items.size()) return;
  const CPopupItemData& item = items[index];
  if (item.text == kSeparatorText) return;
  const RunTarget target = RunTargetOf(item.location);
  if (!target.web && !programs_.FileExists(target.location)) {
    Log("silent mode: the popup item's file does not exist: " + target.location);
    return;
  }
  const std::string folder = platform::FolderOf(platform::NormalizeSeparators(Settings().location));
  // The file that was found (separators of the platform), or the web address.
  programs_.StartProgram(target.location, item.parameters, folder);
}
