// SHA-256 and HMAC-SHA256 over the Windows cryptography API (CNG, bcrypt.dll).
#include "platform/win32.h"

#include <bcrypt.h>

#include <algorithm>
#include <stdexcept>

#include "aws/src/crypto.h"
#include "aws/src/sigv4.h"

namespace txaws {

namespace {

constexpr ULONG kDigestSize = 32;

bool succeeded(NTSTATUS status) { return status >= 0; }

// One CNG hash with the provider it came from. CNG (Windows 7 and later) keeps the hash
// object's memory itself when it is given none.
struct CngHash {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;

  CngHash(std::string_view key, bool hmac) {
    if (!succeeded(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr,
                                               hmac ? BCRYPT_ALG_HANDLE_HMAC_FLAG : 0))) {
      algorithm = nullptr;
      throw std::runtime_error("SHA-256 unavailable");
    }
    auto* secret = reinterpret_cast<PUCHAR>(const_cast<char*>(key.data()));
    if (!succeeded(BCryptCreateHash(algorithm, &hash, nullptr, 0, hmac ? secret : nullptr,
                                    hmac ? static_cast<ULONG>(key.size()) : 0, 0))) {
      BCryptCloseAlgorithmProvider(algorithm, 0);
      throw std::runtime_error(hmac ? "HMAC-SHA256 failed" : "SHA-256 unavailable");
    }
  }
  ~CngHash() {
    BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
  }
  CngHash(const CngHash&) = delete;
  CngHash& operator=(const CngHash&) = delete;

  // CNG takes ULONG sizes: a larger piece goes in several calls.
  void update(const void* data, std::size_t size) {
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (size > 0) {
      ULONG piece = static_cast<ULONG>(std::min<std::size_t>(size, 0x40000000));
      if (!succeeded(BCryptHashData(hash, bytes, piece, 0))) throw std::runtime_error("SHA-256 failed");
      bytes += piece;
      size -= piece;
    }
  }

  void finish(unsigned char (&digest)[kDigestSize]) {
    if (!succeeded(BCryptFinishHash(hash, digest, kDigestSize, 0))) throw std::runtime_error("SHA-256 failed");
  }
};

}  // namespace

std::string hmac_sha256(std::string_view key, std::string_view data) {
  CngHash mac(key, true);
  mac.update(data.data(), data.size());
  unsigned char digest[kDigestSize];
  mac.finish(digest);
  return std::string(reinterpret_cast<char*>(digest), kDigestSize);
}

Sha256::Sha256() : context_(new CngHash({}, false)) {}

Sha256::~Sha256() { delete static_cast<CngHash*>(context_); }

void Sha256::update(const void* data, std::size_t size) { static_cast<CngHash*>(context_)->update(data, size); }

std::string Sha256::hex_final() {
  unsigned char digest[kDigestSize];
  static_cast<CngHash*>(context_)->finish(digest);
  return to_hex(digest, kDigestSize);
}

}  // namespace txaws
