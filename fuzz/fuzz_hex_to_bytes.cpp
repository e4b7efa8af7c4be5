// HexToBytes on any text, as the credential values reach it: an odd length gives null; an
// even one gives half as many bytes and a terminating zero byte.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "logupload/credential.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();
  unsigned char* bytes = HexToBytes(text.c_str());
  if ((text.size() % 2 != 0) != (bytes == nullptr)) std::abort();
  if (bytes != nullptr) {
    if (bytes[text.size() / 2] != 0) std::abort();
    DecryptCredential(bytes);
  }
  std::free(bytes);
  return 0;
}
