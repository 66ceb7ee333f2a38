#pragma once
// Which picture a window shows: the owner's image file named in the settings,
// or the project's own built-in drawing. A file is taken only when it names
// something that loaded as an image and, for the pictures of a fixed size, has
// exactly that size; anything else falls back to the built-in picture without
// a word to the user.

#include <optional>
#include <string>

struct ArtworkSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const ArtworkSize&, const ArtworkSize&) = default;
};

enum class ArtworkSource { kFile, kBuiltIn };

// The wizard's banner across the top of its inner pages.
inline constexpr ArtworkSize kBannerSize{435, 58};
// The picture at the left of the wizard's first and last pages.
inline constexpr ArtworkSize kWatermarkSize{164, 314};
// The window icon: a file of any size is scaled to this.
inline constexpr ArtworkSize kWindowIconSize{64, 64};

// A picture of a fixed size: `loaded` is the size of the file's image when it
// loaded, nullopt when it is missing or could not be read.
ArtworkSource ChooseSizedArtwork(const std::string& file, const std::optional<ArtworkSize>& loaded,
                                 ArtworkSize required);

// The window icon: any image that loaded, whatever its size (a picture with no
// pixels is no icon).
ArtworkSource ChooseIconArtwork(const std::string& file, const std::optional<ArtworkSize>& loaded);
