#include "updater/core/system_language.h"

#include <array>

#include "platform/system_paths.h"
#include "updater/core/text.h"

namespace {

struct LocaleId {
  std::string_view language;   // ISO 639 code, lower case
  std::string_view territory;  // ISO 3166 code, upper case; "" = the language's main identifier
  std::string_view modifier;   // "@" part, "" = any
  std::uint16_t id;
};

// An entry without territory is the language's main identifier.
constexpr std::array kLocales = {
    LocaleId{"ar", "", "", 0x0401},      LocaleId{"ar", "SA", "", 0x0401},
    LocaleId{"ar", "EG", "", 0x0C01},    LocaleId{"bg", "", "", 0x0402},
    LocaleId{"ca", "", "", 0x0403},      LocaleId{"zh", "", "", 0x0804},
    LocaleId{"zh", "CN", "", 0x0804},    LocaleId{"zh", "TW", "", 0x0404},
    LocaleId{"zh", "HK", "", 0x0C04},    LocaleId{"zh", "SG", "", 0x1004},
    LocaleId{"cs", "", "", 0x0405},      LocaleId{"da", "", "", 0x0406},
    LocaleId{"de", "", "", 0x0407},      LocaleId{"de", "DE", "", 0x0407},
    LocaleId{"de", "CH", "", 0x0807},    LocaleId{"de", "AT", "", 0x0C07},
    LocaleId{"de", "LU", "", 0x1007},    LocaleId{"de", "LI", "", 0x1407},
    LocaleId{"el", "", "", 0x0408},      LocaleId{"en", "", "", 0x0409},
    LocaleId{"en", "US", "", 0x0409},    LocaleId{"en", "GB", "", 0x0809},
    LocaleId{"en", "AU", "", 0x0C09},    LocaleId{"en", "CA", "", 0x1009},
    LocaleId{"en", "NZ", "", 0x1409},    LocaleId{"en", "IE", "", 0x1809},
    LocaleId{"en", "ZA", "", 0x1C09},    LocaleId{"en", "JM", "", 0x2009},
    LocaleId{"en", "BZ", "", 0x2809},    LocaleId{"en", "TT", "", 0x2C09},
    LocaleId{"en", "ZW", "", 0x3009},    LocaleId{"en", "PH", "", 0x3409},
    LocaleId{"en", "IN", "", 0x4009},    LocaleId{"en", "MY", "", 0x4409},
    LocaleId{"en", "SG", "", 0x4809},    LocaleId{"es", "", "", 0x0C0A},
    LocaleId{"es", "ES", "", 0x0C0A},    LocaleId{"es", "MX", "", 0x080A},
    LocaleId{"es", "GT", "", 0x100A},    LocaleId{"es", "CR", "", 0x140A},
    LocaleId{"es", "PA", "", 0x180A},    LocaleId{"es", "DO", "", 0x1C0A},
    LocaleId{"es", "VE", "", 0x200A},    LocaleId{"es", "CO", "", 0x240A},
    LocaleId{"es", "PE", "", 0x280A},    LocaleId{"es", "AR", "", 0x2C0A},
    LocaleId{"es", "EC", "", 0x300A},    LocaleId{"es", "CL", "", 0x340A},
    LocaleId{"es", "UY", "", 0x380A},    LocaleId{"es", "PY", "", 0x3C0A},
    LocaleId{"es", "BO", "", 0x400A},    LocaleId{"es", "SV", "", 0x440A},
    LocaleId{"es", "HN", "", 0x480A},    LocaleId{"es", "NI", "", 0x4C0A},
    LocaleId{"es", "PR", "", 0x500A},    LocaleId{"es", "US", "", 0x540A},
    LocaleId{"fi", "", "", 0x040B},      LocaleId{"fr", "", "", 0x040C},
    LocaleId{"fr", "FR", "", 0x040C},    LocaleId{"fr", "BE", "", 0x080C},
    LocaleId{"fr", "CA", "", 0x0C0C},    LocaleId{"fr", "CH", "", 0x100C},
    LocaleId{"fr", "LU", "", 0x140C},    LocaleId{"fr", "MC", "", 0x180C},
    LocaleId{"he", "", "", 0x040D},      LocaleId{"hu", "", "", 0x040E},
    LocaleId{"is", "", "", 0x040F},      LocaleId{"it", "", "", 0x0410},
    LocaleId{"it", "IT", "", 0x0410},    LocaleId{"it", "CH", "", 0x0810},
    LocaleId{"ja", "", "", 0x0411},      LocaleId{"ko", "", "", 0x0412},
    LocaleId{"nl", "", "", 0x0413},      LocaleId{"nl", "NL", "", 0x0413},
    LocaleId{"nl", "BE", "", 0x0813},    LocaleId{"nb", "", "", 0x0414},
    LocaleId{"no", "", "", 0x0414},      LocaleId{"nn", "", "", 0x0814},
    LocaleId{"pl", "", "", 0x0415},      LocaleId{"pt", "", "", 0x0816},
    LocaleId{"pt", "PT", "", 0x0816},    LocaleId{"pt", "BR", "", 0x0416},
    LocaleId{"ro", "", "", 0x0418},      LocaleId{"ru", "", "", 0x0419},
    LocaleId{"hr", "", "", 0x041A},      LocaleId{"sk", "", "", 0x041B},
    LocaleId{"sq", "", "", 0x041C},      LocaleId{"sv", "", "", 0x041D},
    LocaleId{"sv", "SE", "", 0x041D},    LocaleId{"sv", "FI", "", 0x081D},
    LocaleId{"th", "", "", 0x041E},      LocaleId{"tr", "", "", 0x041F},
    LocaleId{"id", "", "", 0x0421},      LocaleId{"uk", "", "", 0x0422},
    LocaleId{"be", "", "", 0x0423},      LocaleId{"sl", "", "", 0x0424},
    LocaleId{"et", "", "", 0x0425},      LocaleId{"lv", "", "", 0x0426},
    LocaleId{"lt", "", "", 0x0427},      LocaleId{"vi", "", "", 0x042A},
    LocaleId{"eu", "", "", 0x042D},      LocaleId{"mk", "", "", 0x042F},
    LocaleId{"hi", "", "", 0x0439},      LocaleId{"ms", "", "", 0x043E},
    LocaleId{"gl", "", "", 0x0456},      LocaleId{"sr", "", "", 0x281A},
    LocaleId{"sr", "", "latin", 0x241A}, LocaleId{"sr", "RS", "latin", 0x241A},
    LocaleId{"sr", "RS", "", 0x281A},
};

std::string ToUpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

}  // namespace

std::uint16_t LocaleToLanguageId(std::string_view locale) {
  // language[_territory][.codeset][@modifier]
  std::string_view modifier;
  if (auto at = locale.find('@'); at != std::string_view::npos) {
    modifier = locale.substr(at + 1);
    locale = locale.substr(0, at);
  }
  if (auto dot = locale.find('.'); dot != std::string_view::npos) locale = locale.substr(0, dot);
  std::string_view territory;
  if (auto sep = locale.find_first_of("_-"); sep != std::string_view::npos) {
    territory = locale.substr(sep + 1);
    locale = locale.substr(0, sep);
  }
  if (locale.size() < 2 || locale.size() > 3) return kLangIdEnglishUs;  // "C", "POSIX", ""
  const std::string language = ToLower(locale);
  const std::string country = ToUpperAscii(territory);
  const std::string mod = ToLower(modifier);

  // The most specific entry wins: territory before modifier before the main entry.
  const LocaleId* best = nullptr;
  int best_score = -1;
  for (const auto& entry : kLocales) {
    if (entry.language != language) continue;
    if (!entry.territory.empty() && entry.territory != country) continue;
    if (!entry.modifier.empty() && entry.modifier != mod) continue;
    const int score = (entry.territory.empty() ? 0 : 2) + (entry.modifier.empty() ? 0 : 1);
    if (score > best_score) {
      best = &entry;
      best_score = score;
    }
  }
  return best ? best->id : kLangIdEnglishUs;
}

std::string MessagesLocale(const EnvironmentLookup& lookup) {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    if (auto value = lookup(name); value && !value->empty()) return *value;
  }
  return "";
}

std::uint16_t SystemLanguageId(const EnvironmentLookup& lookup) {
  return LocaleToLanguageId(MessagesLocale(lookup));
}

std::uint16_t SystemLanguageId() {
  return SystemLanguageId([](const std::string& name) { return platform::GetEnv(name); });
}
