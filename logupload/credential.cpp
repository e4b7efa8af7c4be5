#include "logupload/credential.h"

#include <cstdlib>
#include <cstring>

#include "logupload/deployment_values.h"
#include "logupload/rijndael.h"

namespace {

// The digit value of the formula above; % truncates toward zero, as the formula's rem does.
int DigitValue(char c) {
  const signed char s = static_cast<signed char>(c);
  return ((s % 32) + 9) % 25;
}

}  // namespace

unsigned char* HexToBytes(const char* text) {
  const std::size_t length = std::strlen(text);
  if (length % 2 != 0) return nullptr;
  unsigned char* bytes = static_cast<unsigned char*>(std::malloc(length / 2 + 1));
  if (bytes == nullptr) return nullptr;
  for (std::size_t i = 0; i < length / 2; ++i) {
    const int value = 16 * DigitValue(text[2 * i]) + DigitValue(text[2 * i + 1]);
    bytes[i] = static_cast<unsigned char>(value & 0xFF);
  }
  bytes[length / 2] = 0;
  return bytes;
}

std::string DecryptCredential(const unsigned char* bytes) {
  std::string result;
  CRijndael cipher;
  const std::size_t n = std::strlen(reinterpret_cast<const char*>(bytes));
  // One block beyond the ciphertext's whole blocks, so a partial last block is deciphered
  // too (with zero fill) and a whole one is followed by a block that ends in zeros.
  const std::size_t length = n - n % 16 + 16;
  unsigned char* input = static_cast<unsigned char*>(std::calloc(length + 1, 1));
  unsigned char* output = static_cast<unsigned char*>(std::calloc(length + 1, 1));
  if (input != nullptr && output != nullptr) {
    std::memcpy(input, bytes, n + 1);
    cipher.PrepareKey(g_abCredentialKey, 16, 16);
    cipher.DecipherBuffer(input, output, length);
    result = reinterpret_cast<const char*>(output);
  }
  std::free(input);
  std::free(output);
  return result;
}
