// The S3 error-document reader on any response body: a server (or anything that answers in
// its place over plain HTTP) chooses every byte of it.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "aws/src/error_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view body(reinterpret_cast<const char*>(data), size);
  auto document = txaws::parse_error_document(body);
  // Each is text of the body with entities decoded, which only ever shortens it (in a broken
  // document one element may lie inside the other, so their sizes do not add up).
  if (document && (document->code.empty() || document->code.size() > body.size() ||
                   document->message.size() > body.size())) {
    std::abort();
  }
  return 0;
}
