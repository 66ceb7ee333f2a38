#include "updater/ui/wizard_texts.h"

#include <cstdio>
#include <utility>

#include "updater/core/language.h"
#include "updater/core/language_ids.h"
#include "updater/core/text.h"

CWizardTexts::CWizardTexts(const CLanguage& language, std::string application_name)
    : language_(language), application_name_(std::move(application_name)) {}

std::string CWizardTexts::Text(int id) const { return language_.GetText(id); }

std::string CWizardTexts::WithName(int id) const {
  return FillPlaceholders(Text(id), {application_name_});
}

WizardFrame CWizardTexts::Frame(const SettingsValues& settings) const {
  WizardFrame frame;
  frame.title = WithName(IDS_GENERAL_TITLE);
  frame.about_link = kAboutLinkText;
  frame.hide_in_tray = kHideInTrayText;
  frame.next_text = Text(IDS_GENERAL_NEXT);
  frame.finish_text = Text(IDS_GENERAL_FINISH);
  frame.cancel_text = Text(IDS_GENERAL_CANCEL);
  frame.banner_file = settings.logo_small;
  frame.watermark_file = settings.logo_large;
  frame.icon_file = settings.icon;
  frame.link_colour = ColourText(settings.link_color_link);
  frame.link_hover_colour = ColourText(settings.link_color_hover);
  return frame;
}

WizardPageTexts CWizardTexts::Page(WizardPage page, const CUpdateFileData& data) const {
  WizardPageTexts texts;
  switch (page) {
    case WizardPage::kWelcome:
      texts.title = Text(IDS_FULL_WELCOME_TITLE);
      texts.explanation = WithName(IDS_FULL_WELCOME_EXPLANATION);
      break;
    case WizardPage::kCheck:
      texts.header_title = Text(IDS_FULL_CHECKVERSION_TITLE);
      texts.header_subtitle = Text(IDS_FULL_CHECKVERSION_SUBTITLE);
      texts.explanation = WithName(IDS_FULL_CHECKVERSION_EXPLANATION);
      texts.status = Text(IDS_STATUS_CONNECTINGTOSERVER);
      break;
    case WizardPage::kHtmlMessage:
      texts.header_title = Text(IDS_FULL_HTMLMESSAGE_TITLE);
      texts.header_subtitle = WithName(IDS_FULL_HTMLMESSAGE_SUBTITLE);
      texts.html_address = data.html_message_url;
      break;
    case WizardPage::kLicense:
      texts.header_title = Text(IDS_FULL_LICENSE_TITLE);
      texts.header_subtitle = Text(IDS_FULL_LICENSE_SUBTITLE);
      texts.license_text = data.license;
      texts.agree_text = Text(IDS_FULL_LICENSE_AGREE);
      texts.not_agree_text = Text(IDS_FULL_LICENSE_NOTAGREE);
      break;
    case WizardPage::kSelectUpdate:
      texts.header_title = Text(IDS_FULL_SELECTUPDATE_TITLE);
      texts.header_subtitle = Text(IDS_FULL_SELECTUPDATE_SUBTITLE);
      texts.explanation = WithName(IDS_FULL_SELECTUPDATE_EXPLANATION);
      break;
    case WizardPage::kDownload:
      texts.header_title = Text(IDS_FULL_DOWNLOAD_TITLE);
      texts.header_subtitle = Text(IDS_FULL_DOWNLOAD_SUBTITLE);
      texts.explanation = WithName(IDS_FULL_DOWNLOAD_EXPLANATION);
      texts.item_label = Text(IDS_STATUS_CONNECTINGTOSERVER);
      texts.total_label = texts.item_label;
      break;
    case WizardPage::kInstall:
      texts.header_title = Text(IDS_FULL_INSTALL_TITLE);
      texts.header_subtitle = WithName(IDS_FULL_INSTALL_SUBTITLE);
      texts.explanation = WithName(IDS_FULL_INSTALL_EXPLANATION);
      texts.item_label = Text(IDS_STATUS_INITIALIZING);
      texts.total_label = texts.item_label;
      break;
    case WizardPage::kFinish:
      texts.header_title = Text(IDS_FULL_FINISH_TITLE);
      texts.header_subtitle = WithName(IDS_FULL_FINISH_SUBTITLE);
      texts.explanation = FillPlaceholders(Text(IDS_FULL_FINISH_EXPLANATION),
                                           {application_name_, application_name_});
      texts.shortcuts_shown = data.shortcuts_ask_user && !data.shortcuts.empty();
      texts.shortcuts_text = WithName(IDS_FULL_FINISH_CREATESHORTCUTS);
      break;
    case WizardPage::kRollback:
      texts.header_title = Text(IDS_FULL_ROLLBACK_TITLE);
      texts.header_subtitle = WithName(IDS_FULL_ROLLBACK_SUBTITLE);
      texts.explanation = WithName(IDS_FULL_ROLLBACK_EXPLANATION);
      texts.total_label = Text(IDS_STATUS_INITIALIZING);
      break;
  }
  return texts;
}

std::string CWizardTexts::Next() const { return Text(IDS_GENERAL_NEXT); }

std::string CWizardTexts::NextCountdown(int seconds_left) const {
  return FillPlaceholders("%s (%d)", {Next(), std::to_string(seconds_left)});
}

std::string CWizardTexts::NewVersionStatus(const std::string& version) const {
  return FillPlaceholders(Text(IDS_STATUS_NEWVERSION), {version});
}

std::string CWizardTexts::NoNewVersionStatus() const { return Text(IDS_STATUS_NONEWVERSION); }

std::string CWizardTexts::FeaturesHeading(const std::vector<CFeatureData>& features) const {
  if (features.empty()) return {};
  return FillPlaceholders("%s:\n", {Text(IDS_FULL_CHECKVERSION_FEATURES)});
}

std::vector<FeatureLine> CWizardTexts::FeatureLines(const std::vector<CFeatureData>& features) {
  std::vector<FeatureLine> lines;
  for (const CFeatureData& feature : features) {
    if (lines.size() == kMaxFeatures) break;
    lines.push_back(FeatureLine{"  \xC2\xBB " + feature.text, feature.link});
  }
  return lines;
}

std::string CWizardTexts::MoreInformation() const { return Text(IDS_FULL_SELECTUPDATE_MOREINFO); }

std::string CWizardTexts::FileProgress(const std::string& item) const {
  return FillPlaceholders(Text(IDS_FULL_FILEPROGRESS), {item});
}

std::string CWizardTexts::TotalProgress() const { return Text(IDS_FULL_TOTALPROGRESS); }

std::string ColourText(SettingsColour colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", colour & 0xFFu, (colour >> 8) & 0xFFu,
                (colour >> 16) & 0xFFu);
  return text;
}
