#pragma once
// The wizard's texts, from the language texts, the settings and the update
// file. Texts from files are never format strings: their "%s" and "%d" are
// filled by FillPlaceholders.

#include <string>
#include <vector>

#include "updater/core/updater_settings.h"
#include "updater/description/update_file_data.h"
#include "updater/ui/wizard_view.h"

class CLanguage;

// The text of the control that hides the wizard in the tray (no language text
// names it).
inline constexpr char kHideInTrayText[] = "Hide in tray";
// The link at the bottom left that opens the About box.
inline constexpr char kAboutLinkText[] = "Updater";

class CWizardTexts {
 public:
  // The application name is the settings' NAME.
  CWizardTexts(const CLanguage& language, std::string application_name);

  // What the window shows for its whole life.
  WizardFrame Frame(const SettingsValues& settings) const;
  // A page's texts as it becomes active.
  WizardPageTexts Page(WizardPage page, const CUpdateFileData& data) const;

  std::string Next() const;
  // "Next (5)": the Next button while the HTML message's countdown runs.
  std::string NextCountdown(int seconds_left) const;

  // The check page after the check: the new version, the features heading
  // ("" when there are no features) and up to five feature lines.
  std::string NewVersionStatus(const std::string& version) const;
  std::string NoNewVersionStatus() const;
  std::string FeaturesHeading(const std::vector<CFeatureData>& features) const;
  static std::vector<FeatureLine> FeatureLines(const std::vector<CFeatureData>& features);

  std::string MoreInformation() const;
  std::string FileProgress(const std::string& item) const;
  std::string TotalProgress() const;

  const std::string& ApplicationName() const { return application_name_; }

 private:
  std::string Text(int id) const;
  std::string WithName(int id) const;  // the text, every "%s" the application name

  const CLanguage& language_;
  std::string application_name_;
};

// A settings colour as "#RRGGBB".
std::string ColourText(SettingsColour colour);
