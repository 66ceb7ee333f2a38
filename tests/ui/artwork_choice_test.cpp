#include "updater/ui/artwork_choice.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct SizedCase {
  const char* what;
  std::string file;
  std::optional<ArtworkSize> loaded;
  ArtworkSize required;
  ArtworkSource expected;
};

TEST(ArtworkChoice, AFixedSizePictureTakesTheFileOnlyWhenItLoadedAtExactlyThatSize) {
  const SizedCase cases[] = {
      {"no file named", "", std::nullopt, kBannerSize, ArtworkSource::kBuiltIn},
      {"missing or unreadable", "logo.bmp", std::nullopt, kBannerSize, ArtworkSource::kBuiltIn},
      {"banner one pixel narrower", "logo.bmp", ArtworkSize{434, 58}, kBannerSize,
       ArtworkSource::kBuiltIn},
      {"banner one pixel wider", "logo.bmp", ArtworkSize{436, 58}, kBannerSize,
       ArtworkSource::kBuiltIn},
      {"banner one pixel lower", "logo.bmp", ArtworkSize{435, 57}, kBannerSize,
       ArtworkSource::kBuiltIn},
      {"banner one pixel higher", "logo.bmp", ArtworkSize{435, 59}, kBannerSize,
       ArtworkSource::kBuiltIn},
      {"banner turned on its side", "logo.bmp", ArtworkSize{58, 435}, kBannerSize,
       ArtworkSource::kBuiltIn},
      {"banner exact", "logo.bmp", ArtworkSize{435, 58}, kBannerSize, ArtworkSource::kFile},
      {"empty name with the right size", "", ArtworkSize{435, 58}, kBannerSize,
       ArtworkSource::kBuiltIn},
      {"watermark wrong width", "side.png", ArtworkSize{165, 314}, kWatermarkSize,
       ArtworkSource::kBuiltIn},
      {"watermark wrong height", "side.png", ArtworkSize{164, 313}, kWatermarkSize,
       ArtworkSource::kBuiltIn},
      {"watermark given the banner's size", "side.png", ArtworkSize{435, 58}, kWatermarkSize,
       ArtworkSource::kBuiltIn},
      {"watermark exact", "side.png", ArtworkSize{164, 314}, kWatermarkSize, ArtworkSource::kFile},
  };
  for (const SizedCase& c : cases)
    EXPECT_EQ(ChooseSizedArtwork(c.file, c.loaded, c.required), c.expected) << c.what;
}

struct IconCase {
  const char* what;
  std::string file;
  std::optional<ArtworkSize> loaded;
  ArtworkSource expected;
};

TEST(ArtworkChoice, TheWindowIconTakesAnyFileThatLoaded) {
  const IconCase cases[] = {
      {"no file named", "", std::nullopt, ArtworkSource::kBuiltIn},
      {"missing or unreadable", "app.ico", std::nullopt, ArtworkSource::kBuiltIn},
      {"no pixels", "app.ico", ArtworkSize{0, 0}, ArtworkSource::kBuiltIn},
      {"no height", "app.ico", ArtworkSize{32, 0}, ArtworkSource::kBuiltIn},
      {"exact", "app.ico", ArtworkSize{64, 64}, ArtworkSource::kFile},
      {"smaller, scaled up", "app.ico", ArtworkSize{16, 16}, ArtworkSource::kFile},
      {"larger and not square, scaled", "app.png", ArtworkSize{256, 128}, ArtworkSource::kFile},
  };
  for (const IconCase& c : cases)
    EXPECT_EQ(ChooseIconArtwork(c.file, c.loaded), c.expected) << c.what;
}

}  // namespace
