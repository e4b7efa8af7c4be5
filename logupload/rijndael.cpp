#include "logupload/rijndael.h"

#include <cassert>
#include <stdexcept>

#include "logupload/rijndael_tables.h"

namespace {

const char kNotInitialized[] = "Object not Initialized";
const char kNotMultiple[] = "Data not multiple of Block Size";

inline std::uint32_t LoadColumn(const unsigned char* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

inline unsigned Byte(std::uint32_t word, int index) {  // index 3 is the most significant
  return (word >> (8 * index)) & 0xFF;
}

inline std::uint32_t SubWord(std::uint32_t w) {
  return (std::uint32_t{g_abSBox[Byte(w, 3)]} << 24) | (std::uint32_t{g_abSBox[Byte(w, 2)]} << 16) |
         (std::uint32_t{g_abSBox[Byte(w, 1)]} << 8) | std::uint32_t{g_abSBox[Byte(w, 0)]};
}

inline std::uint32_t RotWord(std::uint32_t w) { return (w << 8) | (w >> 24); }

inline std::uint32_t InvMixColumn(std::uint32_t w) {
  return g_adwInvMixKey[0][Byte(w, 3)] ^ g_adwInvMixKey[1][Byte(w, 2)] ^
         g_adwInvMixKey[2][Byte(w, 1)] ^ g_adwInvMixKey[3][Byte(w, 0)];
}

inline std::uint32_t InvRoundColumn(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                    std::uint32_t d, std::uint32_t key) {
  return g_adwInvT[0][Byte(a, 3)] ^ g_adwInvT[1][Byte(b, 2)] ^ g_adwInvT[2][Byte(c, 1)] ^
         g_adwInvT[3][Byte(d, 0)] ^ key;
}

inline void InvLastColumn(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                          std::uint32_t key, unsigned char* out) {
  out[0] = static_cast<unsigned char>(g_abInvSBox[Byte(a, 3)] ^ Byte(key, 3));
  out[1] = static_cast<unsigned char>(g_abInvSBox[Byte(b, 2)] ^ Byte(key, 2));
  out[2] = static_cast<unsigned char>(g_abInvSBox[Byte(c, 1)] ^ Byte(key, 1));
  out[3] = static_cast<unsigned char>(g_abInvSBox[Byte(d, 0)] ^ Byte(key, 0));
}

int RoundCount(int keyLength, int blockSize) {
  switch (keyLength) {
    case 16:
      return blockSize == 16 ? 10 : blockSize == 24 ? 12 : 14;
    case 24:
      return blockSize == 32 ? 14 : 12;
    default:
      return 14;
  }
}

}  // namespace

CRijndael::CRijndael() : m_bReady(false) {}

CRijndael::~CRijndael() = default;

void CRijndael::PrepareKey(const unsigned char* key, int keyLength, int blockSize) {
  assert(keyLength == 16 || keyLength == 24 || keyLength == 32);
  assert(blockSize == 16 || blockSize == 24 || blockSize == 32);
  m_nKeyBytes = keyLength;
  m_nBlockBytes = blockSize;
  m_nRounds = RoundCount(keyLength, blockSize);
  const int nk = keyLength / 4;
  const int nb = blockSize / 4;
  const int rounds = m_nRounds;

  for (int r = 0; r <= rounds; ++r) {
    for (int j = 0; j < nb; ++j) m_decKeys[r][j] = 0;
  }
  for (int j = 0; j < nk; ++j) m_keyWords[j] = LoadColumn(key + 4 * j);

  // Expanded words go straight to their deciphering place: the expansion's last round key
  // is the first one the inverse cipher needs.
  const int total = (rounds + 1) * nb;
  int t = 0;
  auto place = [&] {
    for (int j = 0; j < nk && t < total; ++j, ++t) m_decKeys[rounds - t / nb][t % nb] = m_keyWords[j];
  };
  place();
  for (std::size_t rcon = 0; t < total; ++rcon) {
    m_keyWords[0] ^= SubWord(RotWord(m_keyWords[nk - 1])) ^ (std::uint32_t{g_abRoundConstants[rcon]} << 24);
    if (nk == 8) {
      for (int j = 1; j < 4; ++j) m_keyWords[j] ^= m_keyWords[j - 1];
      m_keyWords[4] ^= SubWord(m_keyWords[3]);
      for (int j = 5; j < 8; ++j) m_keyWords[j] ^= m_keyWords[j - 1];
    } else {
      for (int j = 1; j < nk; ++j) m_keyWords[j] ^= m_keyWords[j - 1];
    }
    place();
  }

  // The equivalent inverse cipher applies InvMixColumns to the inner round keys up front.
  for (int r = 1; r < rounds; ++r) {
    for (int j = 0; j < nb; ++j) m_decKeys[r][j] = InvMixColumn(m_decKeys[r][j]);
  }
  m_bReady = true;
}

void CRijndael::DecipherBlock(const unsigned char* in, unsigned char* out) {
  if (!m_bReady) throw std::logic_error(kNotInitialized);
  if (m_nBlockBytes == 16) {
    DecipherBlock16(in, out);
    return;
  }
  const int nb = m_nBlockBytes / 4;
  const int* shifts = g_anRowShifts[nb == 6 ? 1 : 2];
  const int d1 = nb - shifts[0];
  const int d2 = nb - shifts[1];
  const int d3 = nb - shifts[2];

  for (int i = 0; i < nb; ++i) m_state[i] = LoadColumn(in + 4 * i) ^ m_decKeys[0][i];
  for (int r = 1; r < m_nRounds; ++r) {
    for (int i = 0; i < nb; ++i) {
      m_nextState[i] = InvRoundColumn(m_state[i], m_state[(i + d1) % nb], m_state[(i + d2) % nb],
                                      m_state[(i + d3) % nb], m_decKeys[r][i]);
    }
    for (int i = 0; i < nb; ++i) m_state[i] = m_nextState[i];
  }
  for (int i = 0; i < nb; ++i) {
    InvLastColumn(m_state[i], m_state[(i + d1) % nb], m_state[(i + d2) % nb],
                  m_state[(i + d3) % nb], m_decKeys[m_nRounds][i], out + 4 * i);
  }
}

void CRijndael::DecipherBlock16(const unsigned char* in, unsigned char* out) {
  if (!m_bReady) throw std::logic_error(kNotInitialized);
  // Locals rather than the member work areas: out may alias anything, and members would
  // have to be reloaded after every store.
  std::uint32_t s0 = LoadColumn(in) ^ m_decKeys[0][0];
  std::uint32_t s1 = LoadColumn(in + 4) ^ m_decKeys[0][1];
  std::uint32_t s2 = LoadColumn(in + 8) ^ m_decKeys[0][2];
  std::uint32_t s3 = LoadColumn(in + 12) ^ m_decKeys[0][3];
  for (int r = 1; r < m_nRounds; ++r) {
    const std::uint32_t* k = m_decKeys[r];
    const std::uint32_t n0 = InvRoundColumn(s0, s3, s2, s1, k[0]);
    const std::uint32_t n1 = InvRoundColumn(s1, s0, s3, s2, k[1]);
    const std::uint32_t n2 = InvRoundColumn(s2, s1, s0, s3, k[2]);
    const std::uint32_t n3 = InvRoundColumn(s3, s2, s1, s0, k[3]);
    s0 = n0;
    s1 = n1;
    s2 = n2;
    s3 = n3;
  }
  const std::uint32_t* k = m_decKeys[m_nRounds];
  InvLastColumn(s0, s3, s2, s1, k[0], out);
  InvLastColumn(s1, s0, s3, s2, k[1], out + 4);
  InvLastColumn(s2, s1, s0, s3, k[2], out + 8);
  InvLastColumn(s3, s2, s1, s0, k[3], out + 12);
}

void CRijndael::DecipherBuffer(const unsigned char* in, unsigned char* out, std::size_t n) {
  if (!m_bReady) throw std::logic_error(kNotInitialized);
  const std::size_t block = static_cast<std::size_t>(m_nBlockBytes);
  if (n == 0 || n % block != 0) throw std::logic_error(kNotMultiple);
  for (std::size_t done = 0; done < n; done += block) DecipherBlock(in + done, out + done);
}
