// Constant tables of the Rijndael inverse cipher, computed by the compiler from the arithmetic
// of GF(2^8) modulo x^8 + x^4 + x^3 + x + 1, so no hand-copied table can carry a typo.
//
// Words hold a column with its first byte as the most significant one. The combined tables
// g_adwInvT[k] apply InvSubBytes and then InvMixColumns to the byte at position k of a column
// (k = 0 is the most significant byte); g_adwInvMixKey[k] apply InvMixColumns alone, for the
// round keys of the equivalent inverse cipher.
#pragma once

#include <array>
#include <cstdint>

namespace rijndael_detail {

constexpr std::uint8_t GfDouble(std::uint8_t a) {
  return static_cast<std::uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1B : 0x00));
}

constexpr std::uint8_t GfMultiply(std::uint8_t a, std::uint8_t b) {
  std::uint8_t product = 0;
  for (; b != 0; b >>= 1, a = GfDouble(a)) {
    if (b & 1) product ^= a;
  }
  return product;
}

// The multiplicative inverse through the powers of the generator 03 (0 maps to 0).
constexpr std::array<std::uint8_t, 256> MakeInverse() {
  std::array<std::uint8_t, 256> power{};
  std::array<std::uint8_t, 256> logarithm{};
  std::uint8_t x = 1;
  for (int i = 0; i < 255; ++i) {
    power[i] = x;
    logarithm[x] = static_cast<std::uint8_t>(i);
    x = GfMultiply(x, 0x03);
  }
  std::array<std::uint8_t, 256> inverse{};
  for (int a = 1; a < 256; ++a) inverse[a] = power[(255 - logarithm[a]) % 255];
  return inverse;
}

constexpr std::uint8_t RotateByteLeft(std::uint8_t b, int n) {
  return static_cast<std::uint8_t>((b << n) | (b >> (8 - n)));
}

constexpr std::array<std::uint8_t, 256> MakeSBox() {
  const std::array<std::uint8_t, 256> inverse = MakeInverse();
  std::array<std::uint8_t, 256> box{};
  for (int a = 0; a < 256; ++a) {
    const std::uint8_t b = inverse[a];
    box[a] = static_cast<std::uint8_t>(b ^ RotateByteLeft(b, 1) ^ RotateByteLeft(b, 2) ^
                                       RotateByteLeft(b, 3) ^ RotateByteLeft(b, 4) ^ 0x63);
  }
  return box;
}

constexpr std::array<std::uint8_t, 256> MakeInvSBox() {
  const std::array<std::uint8_t, 256> box = MakeSBox();
  std::array<std::uint8_t, 256> inverse{};
  for (int a = 0; a < 256; ++a) inverse[box[a]] = static_cast<std::uint8_t>(a);
  return inverse;
}

constexpr std::array<std::uint8_t, 30> MakeRoundConstants() {
  std::array<std::uint8_t, 30> constants{};
  std::uint8_t x = 1;
  for (auto& c : constants) {
    c = x;
    x = GfDouble(x);
  }
  return constants;
}

// Column k of the InvMixColumns matrix, top to bottom, packed most significant first.
constexpr std::uint32_t InvMixColumnOfByte(int k, std::uint8_t a) {
  constexpr std::uint8_t column0[4] = {0x0E, 0x09, 0x0D, 0x0B};
  std::uint32_t word = 0;
  for (int row = 0; row < 4; ++row) {
    word = (word << 8) | GfMultiply(column0[(row - k + 4) % 4], a);
  }
  return word;
}

template <bool kWithInvSubBytes>
constexpr std::array<std::array<std::uint32_t, 256>, 4> MakeInvMixTables() {
  const std::array<std::uint8_t, 256> invSBox = MakeInvSBox();
  std::array<std::array<std::uint32_t, 256>, 4> tables{};
  for (int k = 0; k < 4; ++k) {
    for (int a = 0; a < 256; ++a) {
      const std::uint8_t input = kWithInvSubBytes ? invSBox[a] : static_cast<std::uint8_t>(a);
      tables[k][a] = InvMixColumnOfByte(k, input);
    }
  }
  return tables;
}

}  // namespace rijndael_detail

inline constexpr std::array<std::uint8_t, 256> g_abSBox = rijndael_detail::MakeSBox();
inline constexpr std::array<std::uint8_t, 256> g_abInvSBox = rijndael_detail::MakeInvSBox();
inline constexpr std::array<std::uint8_t, 30> g_abRoundConstants =
    rijndael_detail::MakeRoundConstants();
inline constexpr std::array<std::array<std::uint32_t, 256>, 4> g_adwInvT =
    rijndael_detail::MakeInvMixTables<true>();
inline constexpr std::array<std::array<std::uint32_t, 256>, 4> g_adwInvMixKey =
    rijndael_detail::MakeInvMixTables<false>();

// Row rotations of ShiftRows for rows 1 to 3, by block size: 16, 24 and 32 bytes.
inline constexpr int g_anRowShifts[3][3] = {{1, 2, 3}, {1, 2, 3}, {1, 3, 4}};
