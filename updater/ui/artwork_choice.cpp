#include "updater/ui/artwork_choice.h"

ArtworkSource ChooseSizedArtwork(const std::string& file, const std::optional<ArtworkSize>& loaded,
                                 ArtworkSize required) {
  if (file.empty() || !loaded || *loaded != required) return ArtworkSource::kBuiltIn;
  return ArtworkSource::kFile;
}

ArtworkSource ChooseIconArtwork(const std::string& file, const std::optional<ArtworkSize>& loaded) {
  if (file.empty() || !loaded || loaded->width <= 0 || loaded->height <= 0)
    return ArtworkSource::kBuiltIn;
  return ArtworkSource::kFile;
}
