// txseal: enciphers a deployment's upload credentials into the build's deployment values.
//
//   txseal KEY < credentials
//
// KEY is the deployment's 16-byte credential key as 32 hexadecimal digits. Standard input
// holds two lines: the access key ID, then the secret access key (on standard input so the
// secrets stay out of the process list and the shell history). Each credential is padded
// with zero bytes to 32 and 48 bytes and enciphered with AES-128 in ECB, no other padding;
// standard output gets the three cmake options that set the build to these values:
//
//   -DTX_CREDENTIAL_KEY_HEX=...  -DTX_ACCESS_KEY_CIPHER_HEX=...  -DTX_SECRET_KEY_CIPHER_HEX=...
//
// The controller unwraps a credential up to the first zero byte of its ciphertext and of
// its plaintext, so each credential must leave at least one zero byte in its last block, and
// a key under which a ciphertext holds a zero byte is refused. Exit status 0 on success,
// 1 for bad input, 2 for wrong usage.
#include <openssl/evp.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

constexpr std::size_t kKeyBytes = 16;
constexpr std::size_t kAccessKeyIdBytes = 32;
constexpr std::size_t kSecretKeyBytes = 48;

struct InputError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

Bytes ParseKey(std::string_view hex) {
  if (hex.size() != 2 * kKeyBytes) {
    throw InputError("the key must be 32 hexadecimal digits (16 bytes); it has " +
                     std::to_string(hex.size()) + " characters");
  }
  Bytes key;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigit(hex[i]);
    const int low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) {
      throw InputError("the key must be 32 hexadecimal digits; character " +
                       std::to_string(i + (high < 0 ? 1 : 2)) + " is not one");
    }
    key.push_back(static_cast<unsigned char>(16 * high + low));
  }
  return key;
}

std::string ToHex(const Bytes& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char b : bytes) {
    hex.push_back(digits[b >> 4]);
    hex.push_back(digits[b & 0xF]);
  }
  return hex;
}

// One credential line, zero-padded to size bytes; at least one zero byte must remain.
Bytes PadCredential(const std::string& name, const std::string& text, std::size_t size) {
  if (text.empty()) throw InputError("the " + name + " is empty");
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) throw InputError("the " + name + " holds a control character");
  }
  if (text.size() >= size) {
    throw InputError("the " + name + " is " + std::to_string(text.size()) + " bytes; at most " +
                     std::to_string(size - 1) + " fit (its " + std::to_string(size) +
                     " enciphered bytes must end in at least one zero byte)");
  }
  Bytes padded(text.begin(), text.end());
  padded.resize(size, 0);
  return padded;
}

struct CipherContextFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};

Bytes EncipherEcb(const Bytes& key, const Bytes& plain) {
  std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> context(EVP_CIPHER_CTX_new());
  Bytes out(plain.size() + kKeyBytes);
  int written = 0;
  int last = 0;
  if (!context || EVP_EncryptInit_ex(context.get(), EVP_aes_128_ecb(), nullptr, key.data(), nullptr) != 1 ||
      EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1 ||
      EVP_EncryptUpdate(context.get(), out.data(), &written, plain.data(), static_cast<int>(plain.size())) != 1 ||
      EVP_EncryptFinal_ex(context.get(), out.data() + written, &last) != 1) {
    throw std::runtime_error("OpenSSL could not encipher");
  }
  out.resize(static_cast<std::size_t>(written + last));
  return out;
}

std::string SealedHex(const std::string& name, const Bytes& key, const Bytes& padded) {
  const Bytes sealed = EncipherEcb(key, padded);
  for (unsigned char b : sealed) {
    if (b == 0) {
      throw InputError("under this key the enciphered " + name +
                       " holds a zero byte, where the controller would cut it; choose another "
                       "key (for example from: openssl rand -hex 16)");
    }
  }
  return ToHex(sealed);
}

std::optional<std::string> ReadLine(std::istream& in) {
  std::string line;
  if (!std::getline(in, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void PrintUsage(std::FILE* to) {
  std::fputs(
      "usage: txseal KEY < credentials\n"
      "  KEY          the credential key, 32 hexadecimal digits\n"
      "  credentials  two lines: the access key ID (at most 31 bytes), then the secret\n"
      "               access key (at most 47 bytes)\n"
      "Prints the cmake options -DTX_CREDENTIAL_KEY_HEX, -DTX_ACCESS_KEY_CIPHER_HEX and\n"
      "-DTX_SECRET_KEY_CIPHER_HEX for these credentials.\n",
      to);
}

int Run(const std::string& keyText) {
  const Bytes key = ParseKey(keyText);
  const std::optional<std::string> accessKeyId = ReadLine(std::cin);
  const std::optional<std::string> secretKey = ReadLine(std::cin);
  if (!accessKeyId || !secretKey) {
    throw InputError("standard input must hold two lines: the access key ID, then the secret access key");
  }
  while (const std::optional<std::string> extra = ReadLine(std::cin)) {
    if (!extra->empty()) throw InputError("standard input holds more than two lines");
  }
  const std::string accessHex =
      SealedHex("access key ID", key, PadCredential("access key ID", *accessKeyId, kAccessKeyIdBytes));
  const std::string secretHex =
      SealedHex("secret access key", key, PadCredential("secret access key", *secretKey, kSecretKeyBytes));
  std::cout << "-DTX_CREDENTIAL_KEY_HEX=" << ToHex(key) << "\n"
            << "-DTX_ACCESS_KEY_CIPHER_HEX=" << accessHex << "\n"
            << "-DTX_SECRET_KEY_CIPHER_HEX=" << secretHex << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string_view(argv[1]) == "-h" || std::string_view(argv[1]) == "--help")) {
    PrintUsage(stdout);
    return 0;
  }
  if (argc != 2) {
    PrintUsage(stderr);
    return 2;
  }
  try {
    return Run(argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "txseal: %s\n", e.what());
    return 1;
  }
}
