#include "logupload/rijndael.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <stdexcept>
#include <string>

#include "logupload/rijndael_tables.h"
#include "tests/logupload/textbook_rijndael.h"

namespace {

using textbook::Bytes;

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

Bytes RandomBytes(std::mt19937& rng, std::size_t n) {
  Bytes bytes(n);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

Bytes Decipher(CRijndael& cipher, const Bytes& in) {
  Bytes out(in.size());
  cipher.DecipherBuffer(in.data(), out.data(), in.size());
  return out;
}

// Every table against the field arithmetic of the textbook implementation.
TEST(RijndaelTables, MatchTheFieldArithmetic) {
  const std::uint8_t columns[4][4] = {
      {0x0E, 0x09, 0x0D, 0x0B}, {0x0B, 0x0E, 0x09, 0x0D}, {0x0D, 0x0B, 0x0E, 0x09}, {0x09, 0x0D, 0x0B, 0x0E}};
  std::uint8_t invSBox[256];
  for (unsigned x = 0; x < 256; ++x) invSBox[textbook::SBox(static_cast<std::uint8_t>(x))] = static_cast<std::uint8_t>(x);
  for (unsigned x = 0; x < 256; ++x) {
    const auto a = static_cast<std::uint8_t>(x);
    ASSERT_EQ(g_abSBox[x], textbook::SBox(a)) << x;
    ASSERT_EQ(g_abInvSBox[x], invSBox[x]) << x;
    for (int k = 0; k < 4; ++k) {
      std::uint32_t mixed = 0;
      std::uint32_t combined = 0;
      for (int row = 0; row < 4; ++row) {
        mixed = (mixed << 8) | textbook::Multiply(columns[k][row], a);
        combined = (combined << 8) | textbook::Multiply(columns[k][row], invSBox[x]);
      }
      ASSERT_EQ(g_adwInvMixKey[k][x], mixed) << k << " " << x;
      ASSERT_EQ(g_adwInvT[k][x], combined) << k << " " << x;
    }
  }
  std::uint8_t power = 1;
  for (std::size_t i = 0; i < g_abRoundConstants.size(); ++i) {
    EXPECT_EQ(g_abRoundConstants[i], power) << i;
    power = textbook::Multiply(power, 2);
  }
  // Spot values printed in FIPS-197 (figure 7, section 5.1.1 and 5.2).
  EXPECT_EQ(g_abSBox[0x53], 0xED);
  EXPECT_EQ(g_abInvSBox[0x63], 0x00);
  EXPECT_EQ(g_abRoundConstants[9], 0x36);
}

// FIPS-197 appendix C: the same plaintext under the example keys of 128, 192 and 256 bits.
TEST(Rijndael, DeciphersTheFips197ExampleVectors) {
  const Bytes plain = FromHex("00112233445566778899aabbccddeeff");
  const struct {
    const char* key;
    const char* cipher;
  } cases[] = {
      {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
       "8ea2b7ca516745bfeafc49904b496089"},
  };
  for (const auto& c : cases) {
    const Bytes key = FromHex(c.key);
    CRijndael cipher;
    cipher.PrepareKey(key.data(), static_cast<int>(key.size()), 16);
    Bytes out(16);
    cipher.DecipherBlock(FromHex(c.cipher).data(), out.data());
    EXPECT_EQ(out, plain) << c.key;
    // The textbook cipher used by the other tests must agree with the standard too.
    EXPECT_EQ(textbook::Cipher(key, 16).Encrypt(plain), FromHex(c.cipher)) << c.key;
  }
}

// Every key length with every block size, against the textbook cipher; several blocks per
// buffer so that the code book order and the in-place use are covered too.
TEST(Rijndael, AllKeyAndBlockSizesMatchTheTextbookCipher) {
  std::mt19937 rng(20240501);
  for (int keyBytes : {16, 24, 32}) {
    for (int blockBytes : {16, 24, 32}) {
      for (int trial = 0; trial < 8; ++trial) {
        const Bytes key = RandomBytes(rng, keyBytes);
        const textbook::Cipher reference(key, blockBytes);
        Bytes plain;
        Bytes cipherText;
        for (int block = 0; block < 3; ++block) {
          const Bytes p = RandomBytes(rng, blockBytes);
          const Bytes c = reference.Encrypt(p);
          ASSERT_EQ(reference.Decrypt(c), p);
          plain.insert(plain.end(), p.begin(), p.end());
          cipherText.insert(cipherText.end(), c.begin(), c.end());
        }
        CRijndael cipher;
        cipher.PrepareKey(key.data(), keyBytes, blockBytes);
        EXPECT_EQ(Decipher(cipher, cipherText), plain) << keyBytes << "/" << blockBytes;
        Bytes inPlace = cipherText;
        cipher.DecipherBuffer(inPlace.data(), inPlace.data(), inPlace.size());
        EXPECT_EQ(inPlace, plain) << keyBytes << "/" << blockBytes;
      }
    }
  }
}

// The unrolled 16-byte routine called directly, over many keys and blocks, against the
// plain inverse cipher.
TEST(Rijndael, DecipherBlock16MatchesTheTextbookInverseCipher) {
  std::mt19937 rng(7);
  for (int keyBytes : {16, 24, 32}) {
    for (int trial = 0; trial < 20; ++trial) {
      const Bytes key = RandomBytes(rng, keyBytes);
      const textbook::Cipher reference(key, 16);
      CRijndael cipher;
      cipher.PrepareKey(key.data(), keyBytes, 16);
      for (int block = 0; block < 50; ++block) {
        const Bytes in = RandomBytes(rng, 16);
        Bytes out(16);
        cipher.DecipherBlock16(in.data(), out.data());
        ASSERT_EQ(out, reference.Decrypt(in)) << keyBytes << " " << trial << " " << block;
      }
    }
  }
}

TEST(Rijndael, PreparingAgainReplacesKeyAndBlockSize) {
  std::mt19937 rng(3);
  const Bytes first = RandomBytes(rng, 32);
  const Bytes second = RandomBytes(rng, 16);
  const Bytes in = RandomBytes(rng, 32);
  CRijndael reused;
  reused.PrepareKey(first.data(), 32, 32);
  reused.PrepareKey(second.data(), 16, 16);
  const textbook::Cipher reference(second, 16);
  Bytes expected = reference.Decrypt(Bytes(in.begin(), in.begin() + 16));
  const Bytes tail = reference.Decrypt(Bytes(in.begin() + 16, in.end()));
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(Decipher(reused, in), expected);
}

std::string ThrownText(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(nothing thrown)";
}

TEST(Rijndael, MisuseThrowsStandardExceptions) {
  unsigned char in[32] = {};
  unsigned char out[32] = {};
  CRijndael fresh;
  EXPECT_EQ(ThrownText([&] { fresh.DecipherBlock(in, out); }), "Object not Initialized");
  EXPECT_EQ(ThrownText([&] { fresh.DecipherBlock16(in, out); }), "Object not Initialized");
  EXPECT_EQ(ThrownText([&] { fresh.DecipherBuffer(in, out, 16); }), "Object not Initialized");

  const unsigned char key[16] = {};
  CRijndael ready;
  ready.PrepareKey(key, 16, 16);
  EXPECT_EQ(ThrownText([&] { ready.DecipherBuffer(in, out, 0); }), "Data not multiple of Block Size");
  EXPECT_EQ(ThrownText([&] { ready.DecipherBuffer(in, out, 17); }), "Data not multiple of Block Size");
  ready.PrepareKey(key, 16, 24);
  EXPECT_EQ(ThrownText([&] { ready.DecipherBuffer(in, out, 16); }), "Data not multiple of Block Size");
  EXPECT_EQ(ThrownText([&] { ready.DecipherBuffer(in, out, 24); }), "(nothing thrown)");
}

}  // namespace
