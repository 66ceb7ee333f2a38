#pragma once
// The updater's own pictures: the wizard's banner and watermark, the window
// icon and the tray's animation. They are vector drawings kept in the sources
// and rendered at run time at the size asked for. The owner's image files named
// in the settings replace them when they load and fit (artwork_choice.h); a
// file that does not is passed over without a word to the user.

#include <wx/bitmap.h>
#include <wx/icon.h>
#include <wx/iconbndl.h>

#include <optional>
#include <string>
#include <vector>

#include "updater/ui/rich_text.h"

// 435 by 58 pixels: the file when it loads as an image of exactly that size,
// else the built-in banner.
wxBitmap WizardBanner(const std::string& file);

// 164 by 314 pixels: the file when it loads as an image of exactly that size,
// else the built-in watermark.
wxBitmap WizardWatermark(const std::string& file);

// The file as a 64 by 64 icon (scaled when it has another size) when it
// exists and loads, else the built-in icon at 16, 32, 48 and 64 pixels.
wxIconBundle WindowIcons(const std::string& file);

// The file as a 64 by 64 icon when it exists and loads; nullopt otherwise.
std::optional<wxIcon> IconFromFile(const std::string& file);

// The tray's animation, size by size pixels each, in the order they are shown;
// the last frame leads back into the first.
std::vector<wxBitmap> TrayFrames(int size);

// The number of frames TrayFrames gives.
inline constexpr int kTrayFrameCount = 8;

// The tray's still icons after the animation, size by size pixels: the mark
// with a tick (the update is done) or with a cross (it failed).
wxBitmap TrayFinishedIcon(int size);
wxBitmap TrayErrorIcon(int size);

// The file as a picture of at most size by size pixels (scaled down when
// larger) when it exists and loads; nullopt otherwise.
std::optional<wxBitmap> SmallPictureFromFile(const std::string& file, int size);

// The notifier popup's background: the file when it loads, else the built-in
// skin. Its pixels of the key colour are the see-through part.
struct NotifierSkin {
  wxBitmap picture;
  bool built_in = false;
};
NotifierSkin NotifierSkinOf(const std::string& file, RgbColor key);

// Where the built-in skin has room for the title, the description and the
// close button, in its pixels.
inline constexpr RichRect kSkinTitleRect{16, 7, 260, 22};
inline constexpr RichRect kSkinDescriptionRect{66, 44, 240, 66};
inline constexpr RichRect kSkinCloseRect{287, 6, 24, 24};
inline constexpr int kSkinWidth = 320;
inline constexpr int kSkinHeight = 120;
