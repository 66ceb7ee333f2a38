#pragma once
// Simple case folding of the letters the updater compares without regard to
// case (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic); other code points
// stay as they are. Shared by the text helpers and the registry store.

namespace platform {

constexpr char32_t LowerCodePoint(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c < 0x80) return c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x130) return 'i';
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c % 2 == 1) ? c + 1 : c;
    if (c == 0x178) return 0xFF;
    if (c < 0x138 || (c >= 0x14A && c <= 0x177)) return (c % 2 == 0) ? c + 1 : c;
    return c;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

}  // namespace platform
