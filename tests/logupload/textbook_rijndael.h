// A deliberately plain Rijndael (both directions) written from the cipher's definition, to
// check the product's table-driven inverse cipher against: bytes in a state matrix, field
// multiplication by shift and reduce, the S-box found by searching for inverses, no tables
// shared with the product. Slow, and meant to be.
#pragma once

#include <cstdint>
#include <vector>

namespace textbook {

using Bytes = std::vector<std::uint8_t>;

// Carry-less product of two field elements, then reduction by x^8 + x^4 + x^3 + x + 1.
inline std::uint8_t Multiply(std::uint8_t a, std::uint8_t b) {
  unsigned wide = 0;
  for (int bit = 0; bit < 8; ++bit) {
    if (b & (1u << bit)) wide ^= unsigned{a} << bit;
  }
  for (int bit = 14; bit >= 8; --bit) {
    if (wide & (1u << bit)) wide ^= 0x11Bu << (bit - 8);
  }
  return static_cast<std::uint8_t>(wide);
}

inline std::uint8_t Inverse(std::uint8_t a) {
  if (a == 0) return 0;
  for (unsigned b = 1; b < 256; ++b) {
    if (Multiply(a, static_cast<std::uint8_t>(b)) == 1) return static_cast<std::uint8_t>(b);
  }
  return 0;
}

// The affine map bit by bit: b'_i = b_i + b_(i+4) + b_(i+5) + b_(i+6) + b_(i+7) + c_i.
inline std::uint8_t SBox(std::uint8_t a) {
  const std::uint8_t b = Inverse(a);
  std::uint8_t out = 0;
  for (int i = 0; i < 8; ++i) {
    const int bit = ((b >> i) ^ (b >> ((i + 4) % 8)) ^ (b >> ((i + 5) % 8)) ^ (b >> ((i + 6) % 8)) ^
                     (b >> ((i + 7) % 8)) ^ (0x63 >> i)) & 1;
    out = static_cast<std::uint8_t>(out | (bit << i));
  }
  return out;
}

class Cipher {
 public:
  Cipher(const Bytes& key, int blockBytes) : nb_(blockBytes / 4) {
    const int nk = static_cast<int>(key.size()) / 4;
    rounds_ = (nk > nb_ ? nk : nb_) + 6;
    for (unsigned x = 0; x < 256; ++x) {
      sbox_[x] = SBox(static_cast<std::uint8_t>(x));
      invSbox_[sbox_[x]] = static_cast<std::uint8_t>(x);
    }
    // w[i] as 4 bytes; the textbook key schedule, one word at a time.
    const int words = nb_ * (rounds_ + 1);
    w_.assign(words, {0, 0, 0, 0});
    for (int i = 0; i < nk; ++i) {
      for (int j = 0; j < 4; ++j) w_[i][j] = key[4 * i + j];
    }
    std::uint8_t rcon = 1;
    for (int i = nk; i < words; ++i) {
      Word temp = w_[i - 1];
      if (i % nk == 0) {
        temp = {sbox_[temp[1]], sbox_[temp[2]], sbox_[temp[3]], sbox_[temp[0]]};
        temp[0] ^= rcon;
        rcon = Multiply(rcon, 2);
      } else if (nk > 6 && i % nk == 4) {
        for (auto& b : temp) b = sbox_[b];
      }
      for (int j = 0; j < 4; ++j) w_[i][j] = w_[i - nk][j] ^ temp[j];
    }
  }

  Bytes Encrypt(const Bytes& in) const {
    State s = Load(in);
    AddRoundKey(s, 0);
    for (int round = 1; round <= rounds_; ++round) {
      for (auto& column : s)
        for (auto& b : column) b = sbox_[b];
      ShiftRows(s, false);
      if (round != rounds_) MixColumns(s, {0x02, 0x03, 0x01, 0x01});
      AddRoundKey(s, round);
    }
    return Store(s);
  }

  // The straightforward inverse cipher (FIPS-197 5.3), not the equivalent one.
  Bytes Decrypt(const Bytes& in) const {
    State s = Load(in);
    AddRoundKey(s, rounds_);
    for (int round = rounds_ - 1; round >= 0; --round) {
      ShiftRows(s, true);
      for (auto& column : s)
        for (auto& b : column) b = invSbox_[b];
      AddRoundKey(s, round);
      if (round != 0) MixColumns(s, {0x0E, 0x0B, 0x0D, 0x09});
    }
    return Store(s);
  }

 private:
  using Word = std::vector<std::uint8_t>;
  using State = std::vector<Word>;  // s[column][row]

  State Load(const Bytes& in) const {
    State s(nb_, Word(4));
    for (int c = 0; c < nb_; ++c)
      for (int r = 0; r < 4; ++r) s[c][r] = in[4 * c + r];
    return s;
  }

  Bytes Store(const State& s) const {
    Bytes out(4 * nb_);
    for (int c = 0; c < nb_; ++c)
      for (int r = 0; r < 4; ++r) out[4 * c + r] = s[c][r];
    return out;
  }

  void AddRoundKey(State& s, int round) const {
    for (int c = 0; c < nb_; ++c)
      for (int r = 0; r < 4; ++r) s[c][r] ^= w_[round * nb_ + c][r];
  }

  // Row r moves left by its offset when enciphering, right when deciphering.
  void ShiftRows(State& s, bool inverse) const {
    const int offsets[3] = {1, nb_ == 8 ? 3 : 2, nb_ == 8 ? 4 : 3};
    const State old = s;
    for (int r = 1; r < 4; ++r) {
      for (int c = 0; c < nb_; ++c) {
        const int from = inverse ? (c - offsets[r - 1] + nb_) % nb_ : (c + offsets[r - 1]) % nb_;
        s[c][r] = old[from][r];
      }
    }
  }

  // Multiplies each column by the circulant matrix whose first row is m.
  static void MixColumns(State& s, const std::vector<std::uint8_t>& m) {
    for (auto& column : s) {
      const Word a = column;
      for (int r = 0; r < 4; ++r) {
        column[r] = 0;
        for (int k = 0; k < 4; ++k) column[r] ^= Multiply(m[(k - r + 4) % 4], a[k]);
      }
    }
  }

  int nb_;
  int rounds_ = 0;
  std::uint8_t sbox_[256] = {};
  std::uint8_t invSbox_[256] = {};
  std::vector<Word> w_;
};

}  // namespace textbook
