// Rijndael block cipher, deciphering direction only, for keys and blocks of 16, 24 or 32
// bytes; with 16-byte blocks it is the AES inverse cipher. Blocks are deciphered one by one
// (electronic code book); there is no chaining mode.
//
// Misuse throws std::logic_error (a std::exception that carries its text, since the base
// class itself has no constructor taking one): "Object not Initialized" before PrepareKey,
// "Data not multiple of Block Size" for a DecipherBuffer length of 0 or not a whole number
// of blocks. logic_error because both are caller mistakes, never conditions of the data.
#pragma once

#include <cstddef>
#include <cstdint>

class CRijndael {
 public:
  CRijndael();
  virtual ~CRijndael();

  // key points to keyLength bytes. keyLength and blockSize must each be 16, 24 or 32; they
  // are not checked beyond a debug assertion, as the callers pass constants.
  void PrepareKey(const unsigned char* key, int keyLength, int blockSize);

  // One block of m_nBlockBytes bytes; in and out may be the same buffer.
  void DecipherBlock(const unsigned char* in, unsigned char* out);
  // The same for 16-byte blocks with the four columns written out.
  void DecipherBlock16(const unsigned char* in, unsigned char* out);
  // n bytes, block after block.
  void DecipherBuffer(const unsigned char* in, unsigned char* out, std::size_t n);

 private:
  bool m_bReady;
  std::uint32_t m_decKeys[15][8];
  std::int32_t m_nKeyBytes;
  std::int32_t m_nBlockBytes;
  std::int32_t m_nRounds;
  std::uint32_t m_keyWords[8];
  std::uint32_t m_nextState[8];
  std::uint32_t m_state[8];
};
