#include "updater/description/rijndael.h"

namespace {

using Byte = std::uint8_t;
using Table = std::array<Byte, 256>;

constexpr Byte XTime(Byte a) { return static_cast<Byte>((a << 1) ^ ((a & 0x80) ? 0x1b : 0x00)); }

constexpr Byte Multiply(Byte a, Byte b) {
  Byte product = 0;
  while (b != 0) {
    if (b & 1) product ^= a;
    a = XTime(a);
    b = static_cast<Byte>(b >> 1);
  }
  return product;
}

constexpr Byte RotateLeft(Byte b, int n) { return static_cast<Byte>((b << n) | (b >> (8 - n))); }

// The S-box as the standard defines it: the multiplicative inverse in GF(2^8)
// (zero for zero) followed by the affine transformation.
constexpr Table MakeSBox() {
  Table box{};
  for (int i = 0; i < 256; ++i) {
    Byte x = static_cast<Byte>(i);
    // x^254 is the inverse of x (and 0 for 0).
    Byte inverse = 1;
    Byte power = x;
    for (int e = 254; e != 0; e >>= 1) {
      if (e & 1) inverse = Multiply(inverse, power);
      power = Multiply(power, power);
    }
    if (x == 0) inverse = 0;
    box[i] = static_cast<Byte>(inverse ^ RotateLeft(inverse, 1) ^ RotateLeft(inverse, 2) ^
                               RotateLeft(inverse, 3) ^ RotateLeft(inverse, 4) ^ 0x63);
  }
  return box;
}

constexpr Table kSBox = MakeSBox();

constexpr Table MakeInverseSBox() {
  Table box{};
  for (int i = 0; i < 256; ++i) box[kSBox[i]] = static_cast<Byte>(i);
  return box;
}

constexpr Table kInverseSBox = MakeInverseSBox();

constexpr Table MakeProducts(Byte factor) {
  Table products{};
  for (int i = 0; i < 256; ++i) products[i] = Multiply(static_cast<Byte>(i), factor);
  return products;
}

constexpr Table kTimes9 = MakeProducts(9);
constexpr Table kTimes11 = MakeProducts(11);
constexpr Table kTimes13 = MakeProducts(13);
constexpr Table kTimes14 = MakeProducts(14);

static_assert(kSBox[0x00] == 0x63 && kSBox[0x53] == 0xed && kSBox[0xff] == 0x16);
static_assert(kInverseSBox[0x63] == 0x00);

std::uint32_t SubWord(std::uint32_t word) {
  return static_cast<std::uint32_t>(kSBox[(word >> 24) & 0xff]) << 24 |
         static_cast<std::uint32_t>(kSBox[(word >> 16) & 0xff]) << 16 |
         static_cast<std::uint32_t>(kSBox[(word >> 8) & 0xff]) << 8 |
         static_cast<std::uint32_t>(kSBox[word & 0xff]);
}

std::uint32_t RotWord(std::uint32_t word) { return (word << 8) | (word >> 24); }

// The state is kept column by column, as the input bytes come: state[r + 4c].
using State = std::array<Byte, 16>;

void AddRoundKey(State& state, const CRijndael::KeySchedule& schedule, int round) {
  for (int c = 0; c < 4; ++c) {
    std::uint32_t word = schedule[static_cast<std::size_t>(round * 4 + c)];
    state[4 * c + 0] ^= static_cast<Byte>(word >> 24);
    state[4 * c + 1] ^= static_cast<Byte>(word >> 16);
    state[4 * c + 2] ^= static_cast<Byte>(word >> 8);
    state[4 * c + 3] ^= static_cast<Byte>(word);
  }
}

// InvShiftRows followed by InvSubBytes (the two commute).
void InverseShiftRowsAndSubBytes(State& state) {
  State shifted{};
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) shifted[r + 4 * ((c + r) % 4)] = kInverseSBox[state[r + 4 * c]];
  }
  state = shifted;
}

void InverseMixColumns(State& state) {
  for (int c = 0; c < 4; ++c) {
    Byte* column = &state[4 * c];
    Byte a0 = column[0], a1 = column[1], a2 = column[2], a3 = column[3];
    column[0] = kTimes14[a0] ^ kTimes11[a1] ^ kTimes13[a2] ^ kTimes9[a3];
    column[1] = kTimes9[a0] ^ kTimes14[a1] ^ kTimes11[a2] ^ kTimes13[a3];
    column[2] = kTimes13[a0] ^ kTimes9[a1] ^ kTimes14[a2] ^ kTimes11[a3];
    column[3] = kTimes11[a0] ^ kTimes13[a1] ^ kTimes9[a2] ^ kTimes14[a3];
  }
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

}  // namespace

void CRijndael::SetKey() { SetKey(kUpdateFileKey); }

bool CRijndael::SetKey(std::string_view key) {
  if (key.size() != kKeySize) return false;
  KeySchedule schedule{};
  for (std::size_t i = 0; i < 4; ++i) {
    schedule[i] = static_cast<std::uint32_t>(static_cast<Byte>(key[4 * i])) << 24 |
                  static_cast<std::uint32_t>(static_cast<Byte>(key[4 * i + 1])) << 16 |
                  static_cast<std::uint32_t>(static_cast<Byte>(key[4 * i + 2])) << 8 |
                  static_cast<std::uint32_t>(static_cast<Byte>(key[4 * i + 3]));
  }
  std::uint32_t round_constant = 0x01;
  for (std::size_t i = 4; i < schedule.size(); ++i) {
    std::uint32_t temp = schedule[i - 1];
    if (i % 4 == 0) {
      temp = SubWord(RotWord(temp)) ^ (round_constant << 24);
      round_constant = XTime(static_cast<Byte>(round_constant));
    }
    schedule[i] = schedule[i - 4] ^ temp;
  }
  schedule_ = schedule;
  initialised_ = true;
  return true;
}

void CRijndael::DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const {
  if (!initialised_) throw RijndaelError("Object not Initialized");
  State state{};
  for (std::size_t i = 0; i < kBlockSize; ++i) state[i] = in[i];
  AddRoundKey(state, schedule_, kRounds);
  for (int round = kRounds - 1; round >= 1; --round) {
    InverseShiftRowsAndSubBytes(state);
    AddRoundKey(state, schedule_, round);
    InverseMixColumns(state);
  }
  InverseShiftRowsAndSubBytes(state);
  AddRoundKey(state, schedule_, 0);
  for (std::size_t i = 0; i < kBlockSize; ++i) out[i] = state[i];
}

std::string CRijndael::DecryptEcb(std::string_view ciphertext) const {
  if (!initialised_) throw RijndaelError("Object not Initialized");
  if (ciphertext.empty() || ciphertext.size() % kBlockSize != 0) {
    throw RijndaelError("Data not multiple of Block Size");
  }
  std::string plaintext(ciphertext.size(), '\0');
  for (std::size_t offset = 0; offset < ciphertext.size(); offset += kBlockSize) {
    DecryptBlock(reinterpret_cast<const std::uint8_t*>(ciphertext.data() + offset),
                 reinterpret_cast<std::uint8_t*>(plaintext.data() + offset));
  }
  return plaintext;
}

std::u16string DecodeHexCodeUnits(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::u16string units;
  units.reserve(text.size() / 4);
  for (std::size_t i = 0; i + 4 <= text.size(); i += 4) {
    int value = DigitValue(text[i]) * 4096 + DigitValue(text[i + 1]) * 256 +
                DigitValue(text[i + 2]) * 16 + DigitValue(text[i + 3]);
    units.push_back(static_cast<char16_t>(value));
  }
  return units;
}
