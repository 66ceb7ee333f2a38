// The updater's own pictures rendered by the toolkit: each at its size and
// not a blank, the owner's image files taken only when they fit, and the
// pictures saved as PNG files for a person to look at.

#include <gtest/gtest.h>
#include <wx/image.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/support/xvfb_fixture.h"
#include "tests/ui_wx/dialog_driver.h"
#include "updater/ui/wx/wx_artwork.h"

namespace artwork_gtest {

class Artwork : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(StartWindowTests(&why)) << why;
  }
  // An image file of one colour and the given size, written by the toolkit.
  std::string WritePng(const std::string& name, int width, int height) const {
    wxImage image(width, height);
    image.SetRGB(wxRect(0, 0, width, height), 200, 30, 40);
    const std::string path = folder_ / name;
    EXPECT_TRUE(image.SaveFile(wxString::FromUTF8(path), wxBITMAP_TYPE_PNG)) << path;
    return path;
  }
  TempFolder folder_;
};

int DistinctColours(const wxImage& image) {
  std::set<std::tuple<unsigned char, unsigned char, unsigned char>> colours;
  for (int y = 0; y < image.GetHeight(); ++y)
    for (int x = 0; x < image.GetWidth(); ++x)
      colours.emplace(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
  return static_cast<int>(colours.size());
}

bool SamePixels(const wxBitmap& a, const wxBitmap& b) {
  const wxImage left = a.ConvertToImage();
  const wxImage right = b.ConvertToImage();
  if (left.GetSize() != right.GetSize()) return false;
  const std::size_t bytes = static_cast<std::size_t>(left.GetWidth()) * left.GetHeight() * 3;
  return std::equal(left.GetData(), left.GetData() + bytes, right.GetData());
}

bool IsTheTestColour(const wxBitmap& bitmap) {
  const wxImage image = bitmap.ConvertToImage();
  const int x = image.GetWidth() / 2;
  const int y = image.GetHeight() / 2;
  return image.GetRed(x, y) == 200 && image.GetGreen(x, y) == 30 && image.GetBlue(x, y) == 40;
}

void Save(const wxBitmap& bitmap, const std::string& name) {
  const std::string path = ScreenshotFolder() + "/" + name;
  EXPECT_TRUE(bitmap.ConvertToImage().SaveFile(wxString::FromUTF8(path), wxBITMAP_TYPE_PNG))
      << path;
}

TEST_F(Artwork, TheBuiltInPicturesAreDrawnAtTheirSizes) {
  const wxBitmap banner = WizardBanner("");
  ASSERT_TRUE(banner.IsOk());
  EXPECT_EQ(banner.GetSize(), wxSize(435, 58));
  EXPECT_GT(DistinctColours(banner.ConvertToImage()), 50);
  Save(banner, "artwork_banner.png");

  const wxBitmap watermark = WizardWatermark("");
  ASSERT_TRUE(watermark.IsOk());
  EXPECT_EQ(watermark.GetSize(), wxSize(164, 314));
  EXPECT_GT(DistinctColours(watermark.ConvertToImage()), 50);
  Save(watermark, "artwork_watermark.png");

  const wxIconBundle icons = WindowIcons("");
  ASSERT_EQ(icons.GetIconCount(), 4u);
  for (const int size : {16, 32, 48, 64}) {
    const wxIcon icon = icons.GetIcon(wxSize(size, size), wxIconBundle::FALLBACK_NONE);
    ASSERT_TRUE(icon.IsOk()) << size;
    EXPECT_EQ(icon.GetSize(), wxSize(size, size));
    wxBitmap bitmap;
    bitmap.CopyFromIcon(icon);
    const wxImage image = bitmap.ConvertToImage();
    EXPECT_GT(DistinctColours(image), 5) << size;
    // A round mark: clear corners, a solid middle.
    ASSERT_TRUE(image.HasAlpha()) << size;
    EXPECT_EQ(image.GetAlpha(0, 0), 0) << size;
    EXPECT_EQ(image.GetAlpha(size / 2, size / 2), 255) << size;
    Save(bitmap, size == 64 ? "artwork_icon.png" : "artwork_icon_" + std::to_string(size) + ".png");
  }
}

TEST_F(Artwork, TheTrayFramesTurnTheArrows) {
  const std::vector<wxBitmap> frames = TrayFrames(32);
  ASSERT_EQ(frames.size(), static_cast<std::size_t>(kTrayFrameCount));
  for (std::size_t i = 0; i < frames.size(); ++i) {
    ASSERT_TRUE(frames[i].IsOk()) << i;
    EXPECT_EQ(frames[i].GetSize(), wxSize(32, 32)) << i;
    EXPECT_GT(DistinctColours(frames[i].ConvertToImage()), 5) << i;
    if (i > 0) {
      EXPECT_FALSE(SamePixels(frames[i], frames[i - 1])) << i;
    }
    Save(frames[i], "artwork_tray_" + std::to_string(i) + ".png");
  }
  const std::vector<wxBitmap> small = TrayFrames(16);
  ASSERT_EQ(small.size(), static_cast<std::size_t>(kTrayFrameCount));
  for (std::size_t i = 0; i < small.size(); ++i) {
    EXPECT_EQ(small[i].GetSize(), wxSize(16, 16)) << i;
    Save(small[i], "artwork_tray16_" + std::to_string(i) + ".png");
  }
}

TEST_F(Artwork, AnImageFileIsTakenOnlyAtItsExactSize) {
  const wxBitmap built_in_banner = WizardBanner("");
  const wxBitmap built_in_watermark = WizardWatermark("");
  const std::string unreadable = folder_.Write("broken.png", "this is no picture");
  const std::string missing = folder_ / "missing.png";
  const struct {
    const char* what;
    std::string file;
    bool taken;
  } banners[] = {
      {"exact", WritePng("banner.png", 435, 58), true},
      {"too wide", WritePng("banner_wide.png", 436, 58), false},
      {"too high", WritePng("banner_high.png", 435, 59), false},
      {"missing", missing, false},
      {"unreadable", unreadable, false},
  };
  for (const auto& c : banners) {
    const wxBitmap banner = WizardBanner(c.file);
    EXPECT_EQ(banner.GetSize(), wxSize(435, 58)) << c.what;
    EXPECT_EQ(IsTheTestColour(banner), c.taken) << c.what;
    EXPECT_EQ(SamePixels(banner, built_in_banner), !c.taken) << c.what;
  }
  const struct {
    const char* what;
    std::string file;
    bool taken;
  } watermarks[] = {
      {"exact", WritePng("side.png", 164, 314), true},
      {"too narrow", WritePng("side_narrow.png", 163, 314), false},
      {"too low", WritePng("side_low.png", 164, 313), false},
      {"the banner's size", WritePng("side_banner.png", 435, 58), false},
      {"missing", missing, false},
      {"unreadable", unreadable, false},
  };
  for (const auto& c : watermarks) {
    const wxBitmap watermark = WizardWatermark(c.file);
    EXPECT_EQ(watermark.GetSize(), wxSize(164, 314)) << c.what;
    EXPECT_EQ(IsTheTestColour(watermark), c.taken) << c.what;
    EXPECT_EQ(SamePixels(watermark, built_in_watermark), !c.taken) << c.what;
  }
}

TEST_F(Artwork, AnIconFileThatLoadsIsScaledTo64) {
  for (const auto& [width, height] : {std::pair{64, 64}, {16, 16}, {100, 50}}) {
    const wxIconBundle icons = WindowIcons(WritePng("icon.png", width, height));
    ASSERT_EQ(icons.GetIconCount(), 1u) << width;
    const wxIcon icon = icons.GetIconByIndex(0);
    EXPECT_EQ(icon.GetSize(), wxSize(64, 64)) << width;
    wxBitmap bitmap;
    bitmap.CopyFromIcon(icon);
    EXPECT_TRUE(IsTheTestColour(bitmap)) << width;
  }
  EXPECT_EQ(WindowIcons(folder_ / "missing.ico").GetIconCount(), 4u);
  EXPECT_EQ(WindowIcons(folder_.Write("broken.ico", "not an icon")).GetIconCount(), 4u);
}

}  // namespace artwork_gtest
