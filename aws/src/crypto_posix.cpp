// SHA-256 and HMAC-SHA256 over libcrypto.
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <stdexcept>

#include "aws/src/crypto.h"
#include "aws/src/sigv4.h"

namespace txaws {

std::string hmac_sha256(std::string_view key, std::string_view data) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(data.data()),
            data.size(), digest, &length)) {
    throw std::runtime_error("HMAC-SHA256 failed");
  }
  return std::string(reinterpret_cast<char*>(digest), length);
}

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
  if (!context_ || !EVP_DigestInit_ex(static_cast<EVP_MD_CTX*>(context_), EVP_sha256(), nullptr)) {
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(context_));
    throw std::runtime_error("SHA-256 unavailable");
  }
}

Sha256::~Sha256() { EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(context_)); }

void Sha256::update(const void* data, std::size_t size) {
  EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(context_), data, size);
}

std::string Sha256::hex_final() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(context_), digest, &length);
  return to_hex(digest, length);
}

}  // namespace txaws
