#include "updater/ui/wx/wx_tray.h"

#include <wx/log.h>
#include <wx/menu.h>
#include <wx/notifmsg.h>
#include <wx/taskbar.h>

#include <utility>
#include <vector>

#include "updater/ui/wx/wx_artwork.h"
#include "updater/ui/wx/wx_notifier.h"

// The toolkit takes menu ids below 0x7fff only; the menu's entries take ids
// from here in their order, and the id leads back to the command.
constexpr int kFirstMenuId = 1000;

// The toolkit's icon: it builds the context menu from the model on each right
// click and reports what the person does while its owner lives.
class CTrayIconWindow : public wxTaskBarIcon {
 public:
  explicit CTrayIconWindow(ITrayActions& actions) : actions_(&actions) {
    Bind(wxEVT_MENU, &CTrayIconWindow::OnMenu, this);
    Bind(wxEVT_TASKBAR_LEFT_DCLICK, &CTrayIconWindow::OnActivated, this);
  }

  // The owner is gone: events still queued do nothing.
  void Orphan() { actions_ = nullptr; }
  void SetModel(const TrayMenu& menu) { menu_ = menu; }
  bool MenuOpen() const { return menu_open_; }

  // The menu of the model; nullptr for an empty model (nothing shows).
  wxMenu* CreatePopupMenu() override {
    if (menu_.items.empty() || !actions_) return nullptr;
    auto* menu = new wxMenu;
    menu->Bind(wxEVT_MENU_OPEN, [this](wxMenuEvent& event) {
      menu_open_ = true;
      event.Skip();
    });
    menu->Bind(wxEVT_MENU_CLOSE, [this](wxMenuEvent& event) {
      menu_open_ = false;
      event.Skip();
    });
    // The commands of this menu, whatever the model becomes while it is open.
    shown_commands_.clear();
    for (const TrayMenuItem& item : menu_.items) {
      if (item.separator) {
        menu->AppendSeparator();
        continue;
      }
      // The texts are plain: an ampersand is no mnemonic.
      wxString text = wxString::FromUTF8(item.text);
      text.Replace("&", "&&");
      const int id = kFirstMenuId + static_cast<int>(shown_commands_.size());
      shown_commands_.push_back(item.command);
      auto* entry = new wxMenuItem(menu, id, text);
      if (const auto picture = SmallPictureFromFile(item.image_file, 16))
        entry->SetBitmap(*picture);
      menu->Append(entry);
      entry->Enable(item.enabled);
    }
    return menu;
  }

 private:
  void OnMenu(wxCommandEvent& event) {
    const int index = event.GetId() - kFirstMenuId;
    if (!actions_ || index < 0 || index >= static_cast<int>(shown_commands_.size())) return;
    actions_->OnMenuCommand(shown_commands_[static_cast<std::size_t>(index)]);
  }
  void OnActivated(wxTaskBarIconEvent&) {
    if (actions_) actions_->OnIconActivated();
  }

  ITrayActions* actions_;
  TrayMenu menu_;
  std::vector<int> shown_commands_;
  bool menu_open_ = false;
};

CWxTray::CWxTray(const TrayFrame& frame, ITrayActions& actions)
    : icon_(new CTrayIconWindow(actions)),
      default_icon_(wxBitmapBundle::FromIconBundle(WindowIcons(frame.icon_file))),
      frames_(TrayFrames(kIconSize)),
      tool_tip_(frame.tool_tip) {
  icon_->SetModel(frame.menu);
  animation_timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { NextFrame(); });
  ShowCurrent();
}

CWxTray::~CWxTray() {
  animation_timer_.Stop();
  icon_->Orphan();
  icon_->RemoveIcon();
  icon_->Destroy();
}

bool CWxTray::MenuOpen() const { return icon_->MenuOpen(); }

bool CWxTray::HasTray() const { return wxTaskBarIcon::IsAvailable(); }

void CWxTray::ShowCurrent() {
  if (hidden_) return;
  wxBitmapBundle picture;
  if (animation_timer_.IsRunning() && !frames_.empty()) {
    picture = frames_[static_cast<std::size_t>(frame_) % frames_.size()];
  } else if (still_ == TrayIcon::kFinished) {
    picture = TrayFinishedIcon(kIconSize);
  } else if (still_ == TrayIcon::kError) {
    picture = TrayErrorIcon(kIconSize);
  } else {
    picture = default_icon_;
  }
  icon_->SetIcon(picture, wxString::FromUTF8(tool_tip_));
}

void CWxTray::NextFrame() {
  frame_ = (frame_ + 1) % kTrayFrameCount;
  ShowCurrent();
}

void CWxTray::SetIcon(TrayIcon icon) {
  still_ = icon;
  if (!animation_timer_.IsRunning()) ShowCurrent();
}

void CWxTray::Animate(TrayAnimation /*animation*/) {
  // One animation serves every task: the tool tip says which task it is.
  if (hidden_) return;  // a removed icon does not come back
  frame_ = 0;
  animation_timer_.Start(kTrayAnimationStepMs);
  ShowCurrent();
}

void CWxTray::StopAnimation() {
  if (!animation_timer_.IsRunning()) return;
  animation_timer_.Stop();
  ShowCurrent();
}

void CWxTray::SetToolTip(const std::string& text) {
  tool_tip_ = text;
  ShowCurrent();
}

void CWxTray::HideIcon() {
  animation_timer_.Stop();
  hidden_ = true;
  icon_->RemoveIcon();
}

void CWxTray::SetMenu(const TrayMenu& menu) { icon_->SetModel(menu); }

bool CWxTray::ShowBalloon(const TrayBalloon& balloon) {
  int flags = wxICON_INFORMATION;
  if (balloon.kind == NotificationKind::kWarning) flags = wxICON_WARNING;
  if (balloon.kind == NotificationKind::kError) flags = wxICON_ERROR;
  // The desktop's service reads markup in the body.
  auto message = std::make_unique<wxNotificationMessage>(
      wxString::FromUTF8(balloon.title), wxString::FromUTF8(balloon.markup), nullptr, flags);
  // A service that is missing is no error for the person: the popup shows the
  // text instead.
  wxLogNull quiet;
  if (!message->Show()) return false;
  balloon_ = std::move(message);
  return true;
}

std::unique_ptr<INotifierWindow> CWxTray::CreateNotifier(const NotifierLook& look,
                                                         INotifierActions& actions) {
  return std::make_unique<CWxNotifier>(look, actions);
}
