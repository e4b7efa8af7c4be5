// The hashing that request signing needs: HMAC-SHA256 here, incremental SHA-256 in sigv4.h.
// Over libcrypto on POSIX (crypto_posix.cpp), over the Windows cryptography API (CNG) on
// Windows (crypto_win.cpp).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace txaws {

// The 32 raw bytes of HMAC-SHA256 of `data` under `key`; throws std::runtime_error when the
// hash provider fails.
std::string hmac_sha256(std::string_view key, std::string_view data);

// Lower-case hex of `size` bytes.
std::string to_hex(const unsigned char* bytes, std::size_t size);

}  // namespace txaws
