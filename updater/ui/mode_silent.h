#pragma once
// The silent modes: the run goes on by itself with an icon in the desktop's
// notification area (animation, progress tool tip, context menu). In "silent"
// the person also gets a notification at each stage (the desktop's
// notification service, or the skinned notifier popup) and confirmation
// dialogs for the questions; in "verysilent" there are no notifications of
// the mode's own and no dialogs: every question is answered yes at once.
// Notifications the update file's events ask for are shown in both.
//
// The pauses are timers of the queue (delayed posts), never sleeps.

#include <memory>
#include <string>

#include "updater/process/process_services.h"
#include "updater/ui/mode_base.h"
#include "updater/ui/notifier_controller.h"
#include "updater/ui/tray_texts.h"
#include "updater/ui/tray_view.h"
#include "updater/ui/window_module.h"

class CModeSilent : public CModeBase, public ITrayActions {
 public:
  // After a task, before asking for the next one.
  static constexpr std::int64_t kNextTaskPauseMs = 100;
  // After a warning's notification, before the acknowledgement.
  static constexpr std::int64_t kWarningPauseMs = 500;
  // After an error's notification (and after a rollback when errors are
  // shown), so that it can be read before the run goes on.
  static constexpr std::int64_t kErrorPauseMs = 3000;
  // After an error, before a finished run ends.
  static constexpr std::int64_t kErrorEndPauseMs = 500;

  // mode is "silent" or "verysilent" (compared exactly with "silent").
  // create_tray makes the icon's view when the mode is created; programs
  // starts the update file's popup items.
  CModeSilent(IModeHost& host, TaskId current_task, std::string mode, IWindowModule& windows,
              TrayViewFactory create_tray, IProcessServices& programs = SystemPrograms());

  // The programs and documents of the desktop (an argument vector, never a
  // shell; web addresses and documents with the desktop's opener).
  static IProcessServices& SystemPrograms();
  ~CModeSilent() override;

  void Create() override;
  IEventLoop* EventLoop() override { return &windows_.Loop(); }

  // ITrayActions
  void OnMenuCommand(int command) override;
  void OnIconActivated() override;

  TaskId CurrentTask() const { return current_task_; }
  bool Finished() const { return finished_; }
  bool RollingBack() const { return rolling_back_; }
  // The context menu as it stands.
  TrayMenu Menu() const;
  // The notifier popup's logic (tests tick it).
  CNotifierController& Notifier() { return notifier_; }

 protected:
  void OnTaskStarted(TaskId task) override;
  void OnTaskComplete(TaskId task, std::int64_t result) override;
  void OnStatusChanged() override;
  void OnItemProgress(const ItemProgress& progress) override;
  void OnTotalProgress(int percent) override;
  void OnError(const ModeError& error) override;
  void OnWarning(const std::string& item) override;
  void OnQuestion(const ModeQuestion& question) override;
  void OnNotifier(const std::string& title, const std::string& text) override;

 private:
  bool Silent() const { return mode_ == "silent"; }
  // A notification of the mode's own: swallowed once after an event's
  // notification, and shown only in "silent".
  void Notify(const std::string& text, NotificationKind kind);
  // Shows a notification: a balloon, or the popup when balloons are off or
  // the desktop cannot show one.
  void Deliver(const std::string& balloon_title, const std::string& popup_title,
               const std::string& text, NotificationKind kind);
  bool EnsureNotifier();
  void SetToolTip(const std::string& text);
  void UpdateMenu();
  void StartAnimation(TrayAnimation animation, int status_text);
  bool Confirm(int caption, const std::string& text);
  void AskExit();
  void RunPopupItem(std::size_t index);
  void PostDelayed(Message message, std::int64_t delay_ms);

  TaskId current_task_;
  std::string mode_;
  IWindowModule& windows_;
  TrayViewFactory create_tray_;
  IProcessServices& programs_;

  TrayProgress progress_;
  bool finished_ = false;
  bool rolling_back_ = false;
  bool rolled_back_ = false;
  bool skip_next_notification_ = false;

  // Declared before the views that report to it, so that it outlives them.
  CNotifierController notifier_;
  std::unique_ptr<ITrayView> tray_;
  std::unique_ptr<INotifierWindow> notifier_window_;
};
