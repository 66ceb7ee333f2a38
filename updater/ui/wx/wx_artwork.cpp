#include "updater/ui/wx/wx_artwork.h"

#include <wx/bmpbndl.h>
#include <wx/icon.h>
#include <wx/image.h>
#include <wx/log.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>

#include "platform/file_system.h"
#include "updater/ui/artwork_choice.h"

namespace {

// The mark: a blue disc with a soft shine and two white arrows chasing each
// other round its centre, drawn on a 64 by 64 grid.
constexpr char kMarkDefinitions[] =
    R"svg(<linearGradient id="disc" x1="0%" y1="0%" x2="0%" y2="100%">)svg"
    R"svg(<stop offset="0" stop-color="#62B6FF"/><stop offset="1" stop-color="#1856AE"/>)svg"
    R"svg(</linearGradient>)svg"
    R"svg(<linearGradient id="shine" x1="0%" y1="0%" x2="0%" y2="100%">)svg"
    R"svg(<stop offset="0" stop-color="#FFFFFF" stop-opacity="0.6"/>)svg"
    R"svg(<stop offset="1" stop-color="#FFFFFF" stop-opacity="0"/>)svg"
    R"svg(</linearGradient>)svg";

constexpr char kMarkDisc[] =
    R"svg(<circle cx="32" cy="32" r="30" fill="url(#disc)" stroke="#143F7E" stroke-width="1.5"/>)svg";
constexpr char kMarkShine[] =
    R"svg(<ellipse cx="32" cy="19" rx="22" ry="13" fill="url(#shine)"/>)svg";

// The arrows: two arcs of radius 15 round (32, 32), each ending in a head.
constexpr char kMarkArrows[] =
    R"svg(<path fill="none" stroke="#FFFFFF" stroke-width="6" stroke-linecap="round" )svg"
    R"svg(d="M17.9 26.87A15 15 0 0 1 43.15 21.96M46.1 37.13A15 15 0 0 1 20.85 42.04"/>)svg"
    R"svg(<path fill="#FFFFFF" d="M49.04 28.5L48.76 16.24L36.87 26.94Z)svg"
    R"svg(M14.96 35.5L15.24 47.76L27.13 37.06Z"/>)svg";

// The same arrows drawn heavier for small pictures (tray, small icons), where
// the thin ones blur.
constexpr char kMarkArrowsBold[] =
    R"svg(<path fill="none" stroke="#FFFFFF" stroke-width="9" stroke-linecap="round" )svg"
    R"svg(d="M19.31 26.08A14 14 0 0 1 41.37 21.6M44.69 37.92A14 14 0 0 1 22.63 42.4"/>)svg"
    R"svg(<path fill="#FFFFFF" d="M50.36 29.69L48.36 13.09L33.64 29.44Z)svg"
    R"svg(M13.64 34.31L15.64 50.91L30.36 34.56Z"/>)svg";

// Pictures up to this many pixels wide take the heavier arrows and leave out
// the shine, which would wash out the arrows.
constexpr int kSmallMarkSize = 24;

// A number as SVG writes it, whatever the process's locale.
std::string Number(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// The mark with its arrows turned by `degrees` about the centre, for a
// picture `size` pixels wide.
std::string Mark(double degrees, int size) {
  const bool small = size <= kSmallMarkSize;
  return std::string(kMarkDisc) + (small ? "" : kMarkShine) + R"svg(<g transform="rotate()svg" +
         Number(degrees) + R"svg( 32 32)">)svg" + (small ? kMarkArrowsBold : kMarkArrows) + "</g>";
}

// The mark placed with its top-left corner at (x, y), `size` pixels wide.
std::string PlacedMark(double x, double y, double size) {
  return R"svg(<g transform="translate()svg" + Number(x) + " " + Number(y) + ") scale(" +
         Number(size / 64) + R"svg()">)svg" + Mark(0, static_cast<int>(size)) + "</g>";
}

std::string Svg(int width, int height, const std::string& definitions, const std::string& body) {
  const std::string w = std::to_string(width);
  const std::string h = std::to_string(height);
  return R"svg(<svg xmlns="http://www.w3.org/2000/svg" width=")svg" + w + R"svg(" height=")svg" +
         h + R"svg(" viewBox="0 0 )svg" + w + " " + h + R"svg("><defs>)svg" + kMarkDefinitions +
         definitions + "</defs>" + body + "</svg>";
}

// The banner: white where the page's heading is written, turning blue towards
// the right, with two soft waves and the mark.
constexpr char kBannerDefinitions[] =
    R"svg(<linearGradient id="band" x1="0%" y1="0%" x2="100%" y2="0%">)svg"
    R"svg(<stop offset="0" stop-color="#FFFFFF"/><stop offset="0.5" stop-color="#FFFFFF"/>)svg"
    R"svg(<stop offset="0.78" stop-color="#DCEBFC"/><stop offset="1" stop-color="#A9CDF5"/>)svg"
    R"svg(</linearGradient>)svg"
    R"svg(<linearGradient id="wave" x1="0%" y1="0%" x2="100%" y2="0%">)svg"
    R"svg(<stop offset="0" stop-color="#3B8EE6" stop-opacity="0"/>)svg"
    R"svg(<stop offset="1" stop-color="#3B8EE6" stop-opacity="0.45"/>)svg"
    R"svg(</linearGradient>)svg";

constexpr char kBannerBody[] =
    R"svg(<rect x="0" y="0" width="435" height="58" fill="url(#band)"/>)svg"
    R"svg(<path fill="url(#wave)" d="M170 58C240 40 300 62 360 38C390 26 415 30 435 22L435 58Z"/>)svg"
    R"svg(<path fill="url(#wave)" opacity="0.6" d="M230 58C290 50 330 30 380 44C405 51 420 46 435 )svg"
    R"svg(40L435 58Z"/>)svg";

// The watermark: a deep blue column, lighter at the top, with rings spreading
// from the mark and waves at the foot.
constexpr char kWatermarkDefinitions[] =
    R"svg(<linearGradient id="column" x1="0%" y1="0%" x2="0%" y2="100%">)svg"
    R"svg(<stop offset="0" stop-color="#3D8FE3"/><stop offset="0.55" stop-color="#1E5DB3"/>)svg"
    R"svg(<stop offset="1" stop-color="#0E3672"/>)svg"
    R"svg(</linearGradient>)svg"
    R"svg(<radialGradient id="glow" cx="50%" cy="50%" r="50%">)svg"
    R"svg(<stop offset="0.55" stop-color="#FFFFFF" stop-opacity="0.35"/>)svg"
    R"svg(<stop offset="1" stop-color="#FFFFFF" stop-opacity="0"/>)svg"
    R"svg(</radialGradient>)svg"
    R"svg(<linearGradient id="foot" x1="0%" y1="0%" x2="0%" y2="100%">)svg"
    R"svg(<stop offset="0" stop-color="#6DB5F5" stop-opacity="0.55"/>)svg"
    R"svg(<stop offset="1" stop-color="#6DB5F5" stop-opacity="0.05"/>)svg"
    R"svg(</linearGradient>)svg";

constexpr char kWatermarkBody[] =
    R"svg(<rect x="0" y="0" width="164" height="314" fill="url(#column)"/>)svg"
    R"svg(<g fill="none" stroke="#FFFFFF">)svg"
    R"svg(<circle cx="82" cy="96" r="66" stroke-opacity="0.18" stroke-width="2"/>)svg"
    R"svg(<circle cx="82" cy="96" r="88" stroke-opacity="0.11" stroke-width="2"/>)svg"
    R"svg(<circle cx="82" cy="96" r="112" stroke-opacity="0.06" stroke-width="2"/>)svg"
    R"svg(</g>)svg"
    R"svg(<circle cx="82" cy="96" r="62" fill="url(#glow)"/>)svg"
    R"svg(<path fill="url(#foot)" d="M0 246C40 226 90 262 164 232L164 314L0 314Z"/>)svg"
    R"svg(<path fill="url(#foot)" d="M0 276C60 256 100 290 164 266L164 314L0 314Z"/>)svg";

wxBitmap Render(const std::string& svg, wxSize size) {
  return wxBitmapBundle::FromSVG(svg.c_str(), size).GetBitmap(size);
}

wxBitmap BuiltInBanner() {
  return Render(Svg(kBannerSize.width, kBannerSize.height, kBannerDefinitions,
                    kBannerBody + PlacedMark(377, 6, 46)),
                wxSize(kBannerSize.width, kBannerSize.height));
}

wxBitmap BuiltInWatermark() {
  return Render(Svg(kWatermarkSize.width, kWatermarkSize.height, kWatermarkDefinitions,
                    kWatermarkBody + PlacedMark(32, 46, 100)),
                wxSize(kWatermarkSize.width, kWatermarkSize.height));
}

wxBitmap BuiltInIcon(int size) {
  return Render(Svg(64, 64, "", Mark(0, size)), wxSize(size, size));
}

// The tray's still icons: the mark's disc in another colour with a sign in
// place of the arrows.
constexpr char kFinishedDefinitions[] =
    R"svg(<linearGradient id="done" x1="0%" y1="0%" x2="0%" y2="100%">)svg"
    R"svg(<stop offset="0" stop-color="#6FD37A"/><stop offset="1" stop-color="#1E8A35"/>)svg"
    R"svg(</linearGradient>)svg";
constexpr char kFinishedBody[] =
    R"svg(<circle cx="32" cy="32" r="30" fill="url(#done)" stroke="#17692A" stroke-width="1.5"/>)svg"
    R"svg(<path fill="none" stroke="#FFFFFF" stroke-width="9" stroke-linecap="round" )svg"
    R"svg(stroke-linejoin="round" d="M17 33L28 44L47 21"/>)svg";

constexpr char kErrorDefinitions[] =
    R"svg(<linearGradient id="fail" x1="0%" y1="0%" x2="0%" y2="100%">)svg"
    R"svg(<stop offset="0" stop-color="#FF7A6B"/><stop offset="1" stop-color="#C0281B"/>)svg"
    R"svg(</linearGradient>)svg";
constexpr char kErrorBody[] =
    R"svg(<circle cx="32" cy="32" r="30" fill="url(#fail)" stroke="#8E1B12" stroke-width="1.5"/>)svg"
    R"svg(<path fill="none" stroke="#FFFFFF" stroke-width="9" stroke-linecap="round" )svg"
    R"svg(d="M21 21L43 43M43 21L21 43"/>)svg";

// The notifier's skin: a card with rounded corners, a blue title band with a
// close button, and a pale body with the mark beside the description.
constexpr char kSkinDefinitions[] =
    R"svg(<linearGradient id="band" x1="0%" y1="0%" x2="0%" y2="100%">)svg"
    R"svg(<stop offset="0" stop-color="#3F94E8"/><stop offset="1" stop-color="#1B5BB0"/>)svg"
    R"svg(</linearGradient>)svg"
    R"svg(<linearGradient id="body" x1="0%" y1="0%" x2="0%" y2="100%">)svg"
    R"svg(<stop offset="0" stop-color="#FFFFFF"/><stop offset="1" stop-color="#E3EEFA"/>)svg"
    R"svg(</linearGradient>)svg"
    R"svg(<clipPath id="card"><rect x="1" y="1" width="318" height="118" rx="12"/></clipPath>)svg";
constexpr char kSkinBody[] =
    R"svg(<g clip-path="url(#card)">)svg"
    R"svg(<rect x="0" y="0" width="320" height="120" fill="url(#body)"/>)svg"
    R"svg(<rect x="0" y="0" width="320" height="36" fill="url(#band)"/>)svg"
    R"svg(<rect x="0" y="36" width="320" height="1" fill="#14478C"/>)svg"
    R"svg(</g>)svg"
    R"svg(<rect x="1" y="1" width="318" height="118" rx="12" fill="none" stroke="#14478C" )svg"
    R"svg(stroke-width="2"/>)svg"
    R"svg(<circle cx="299" cy="18" r="10" fill="#FFFFFF" fill-opacity="0.18" stroke="#FFFFFF" )svg"
    R"svg(stroke-opacity="0.7" stroke-width="1.2"/>)svg"
    R"svg(<path fill="none" stroke="#FFFFFF" stroke-width="2.2" stroke-linecap="round" )svg"
    R"svg(d="M294.5 13.5L303.5 22.5M303.5 13.5L294.5 22.5"/>)svg";

// Owner's image files are small pictures; anything much larger is not read.
constexpr std::uint64_t kMaxImageFileBytes = 16 * 1024 * 1024;

// The image in the file, when the file exists, is of a sane size and loads.
std::optional<wxImage> LoadImageFile(const std::string& file) {
  if (file.empty() || !platform::FileExists(file)) return std::nullopt;
  const std::optional<std::uint64_t> bytes = platform::FileSize(file);
  if (!bytes || *bytes > kMaxImageFileBytes) return std::nullopt;
  wxLogNull quiet;  // a file that does not load is no error for the user
  wxImage image;
  if (!image.LoadFile(wxString::FromUTF8(file), wxBITMAP_TYPE_ANY) || !image.IsOk())
    return std::nullopt;
  return image;
}

std::optional<ArtworkSize> SizeOf(const std::optional<wxImage>& image) {
  if (!image) return std::nullopt;
  return ArtworkSize{image->GetWidth(), image->GetHeight()};
}

wxBitmap SizedPicture(const std::string& file, ArtworkSize required, wxBitmap (*built_in)()) {
  const std::optional<wxImage> image = LoadImageFile(file);
  if (ChooseSizedArtwork(file, SizeOf(image), required) == ArtworkSource::kFile)
    return wxBitmap(*image);
  return built_in();
}

}  // namespace

wxBitmap WizardBanner(const std::string& file) {
  return SizedPicture(file, kBannerSize, &BuiltInBanner);
}

wxBitmap WizardWatermark(const std::string& file) {
  return SizedPicture(file, kWatermarkSize, &BuiltInWatermark);
}

std::optional<wxIcon> IconFromFile(const std::string& file) {
  std::optional<wxImage> image = LoadImageFile(file);
  if (ChooseIconArtwork(file, SizeOf(image)) != ArtworkSource::kFile) return std::nullopt;
  if (image->GetWidth() != kWindowIconSize.width || image->GetHeight() != kWindowIconSize.height)
    image->Rescale(kWindowIconSize.width, kWindowIconSize.height, wxIMAGE_QUALITY_HIGH);
  wxIcon icon;
  icon.CopyFromBitmap(wxBitmap(*image));
  return icon;
}

wxIconBundle WindowIcons(const std::string& file) {
  wxIconBundle icons;
  if (const std::optional<wxIcon> icon = IconFromFile(file)) {
    icons.AddIcon(*icon);
    return icons;
  }
  for (const int size : {16, 32, 48, 64}) {
    wxIcon icon;
    icon.CopyFromBitmap(BuiltInIcon(size));
    icons.AddIcon(icon);
  }
  return icons;
}

std::vector<wxBitmap> TrayFrames(int size) {
  // The arrows look the same after half a turn, so the frames share half a
  // turn between them and the last leads smoothly into the first.
  std::vector<wxBitmap> frames;
  for (int frame = 0; frame < kTrayFrameCount; ++frame) {
    const double degrees = 180.0 * frame / kTrayFrameCount;
    frames.push_back(Render(Svg(64, 64, "", Mark(degrees, size)), wxSize(size, size)));
  }
  return frames;
}

wxBitmap TrayFinishedIcon(int size) {
  return Render(Svg(64, 64, kFinishedDefinitions, kFinishedBody), wxSize(size, size));
}

wxBitmap TrayErrorIcon(int size) {
  return Render(Svg(64, 64, kErrorDefinitions, kErrorBody), wxSize(size, size));
}

std::optional<wxBitmap> SmallPictureFromFile(const std::string& file, int size) {
  std::optional<wxImage> image = LoadImageFile(file);
  if (!image) return std::nullopt;
  if (image->GetWidth() > size || image->GetHeight() > size) {
    const double scale =
        static_cast<double>(size) / std::max(image->GetWidth(), image->GetHeight());
    image->Rescale(std::max(1, static_cast<int>(image->GetWidth() * scale)),
                   std::max(1, static_cast<int>(image->GetHeight() * scale)), wxIMAGE_QUALITY_HIGH);
  }
  return wxBitmap(*image);
}

NotifierSkin NotifierSkinOf(const std::string& file, RgbColor key) {
  if (std::optional<wxImage> image = LoadImageFile(file))
    return NotifierSkin{wxBitmap(*image), false};
  // The drawing's see-through pixels take the key colour, so that the popup's
  // shape comes from the key as with an owner's skin.
  wxImage image =
      Render(Svg(kSkinWidth, kSkinHeight, kSkinDefinitions, kSkinBody + PlacedMark(12, 48, 44)),
             wxSize(kSkinWidth, kSkinHeight))
          .ConvertToImage();
  if (image.HasAlpha()) {
    for (int y = 0; y < image.GetHeight(); ++y)
      for (int x = 0; x < image.GetWidth(); ++x)
        if (image.GetAlpha(x, y) < 128) image.SetRGB(x, y, key.red, key.green, key.blue);
    image.ClearAlpha();
  }
  return NotifierSkin{wxBitmap(image), true};
}
