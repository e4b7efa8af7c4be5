// SHA-256 and HMAC-SHA256 over libcrypto, loaded at the first hash rather than at start: a
// controller that has made no Internet request has none of it mapped. Once loaded it stays, as
// libcrypto cannot be unloaded.
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <stdexcept>

#include "aws/src/crypto.h"
#include "aws/src/sigv4.h"
#include "platform/shared_library.h"

namespace txaws {

namespace {

// The ABI the headers describe: OpenSSL 3.
constexpr char kLibcrypto[] = "libcrypto.so.3";

struct Libcrypto {
  decltype(&::EVP_sha256) sha256 = nullptr;
  decltype(&::EVP_MD_CTX_new) ctx_new = nullptr;
  decltype(&::EVP_MD_CTX_free) ctx_free = nullptr;
  decltype(&::EVP_DigestInit_ex) init = nullptr;
  decltype(&::EVP_DigestUpdate) update = nullptr;
  decltype(&::EVP_DigestFinal_ex) final = nullptr;
  decltype(&::HMAC) hmac = nullptr;
};

// Throws when libcrypto or one of its functions is missing.
const Libcrypto& libcrypto() {
  static platform::SharedLibrary* const library = new platform::SharedLibrary(kLibcrypto);  // never unloaded
  static const Libcrypto functions = [] {
    Libcrypto f;
    if (!library->loaded() || !library->bind(f.sha256, "EVP_sha256") || !library->bind(f.ctx_new, "EVP_MD_CTX_new") ||
        !library->bind(f.ctx_free, "EVP_MD_CTX_free") || !library->bind(f.init, "EVP_DigestInit_ex") ||
        !library->bind(f.update, "EVP_DigestUpdate") || !library->bind(f.final, "EVP_DigestFinal_ex") ||
        !library->bind(f.hmac, "HMAC")) {
      throw std::runtime_error("SHA-256 unavailable: " + library->error());
    }
    return f;
  }();
  return functions;
}

}  // namespace

std::string hmac_sha256(std::string_view key, std::string_view data) {
  const Libcrypto& crypto = libcrypto();
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!crypto.hmac(crypto.sha256(), key.data(), static_cast<int>(key.size()),
                   reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest, &length)) {
    throw std::runtime_error("HMAC-SHA256 failed");
  }
  return std::string(reinterpret_cast<char*>(digest), length);
}

Sha256::Sha256() {
  const Libcrypto& crypto = libcrypto();
  context_ = crypto.ctx_new();
  if (!context_ || !crypto.init(static_cast<EVP_MD_CTX*>(context_), crypto.sha256(), nullptr)) {
    crypto.ctx_free(static_cast<EVP_MD_CTX*>(context_));
    throw std::runtime_error("SHA-256 unavailable");
  }
}

Sha256::~Sha256() { libcrypto().ctx_free(static_cast<EVP_MD_CTX*>(context_)); }

void Sha256::update(const void* data, std::size_t size) {
  libcrypto().update(static_cast<EVP_MD_CTX*>(context_), data, size);
}

std::string Sha256::hex_final() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  libcrypto().final(static_cast<EVP_MD_CTX*>(context_), digest, &length);
  return to_hex(digest, length);
}

}  // namespace txaws
