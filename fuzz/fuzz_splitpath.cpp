// _splitpath and _splitpath_s on any path text and any buffer sizes: the first four input
// bytes give the four buffer sizes of _splitpath_s (0 meaning the part is not wanted); the
// rest is the path. Nothing may be written outside a buffer, and the parts of a successful
// split put back together give the path.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/crt.h"

namespace {

constexpr std::size_t kGuard = 16;
constexpr char kGuardByte = '\x5A';

struct Part {
  explicit Part(std::size_t size) : size(size), bytes(size + kGuard, kGuardByte) {}
  char* data() { return size ? bytes.data() : nullptr; }
  void check_guard() const {
    for (std::size_t i = size; i < bytes.size(); ++i) {
      if (bytes[i] != kGuardByte) std::abort();
    }
  }
  std::string text() const { return size ? std::string(bytes.data()) : std::string(); }
  std::size_t size;
  std::vector<char> bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  std::string path(reinterpret_cast<const char*>(data + 4), size - 4);
  path = path.c_str();  // the runtime sees the text up to its first NUL

  // _splitpath's buffers have the runtime's documented maximum sizes; it cuts a part that is
  // longer, and a path shorter than the smallest of them comes back whole.
  {
    Part drive(_MAX_DRIVE), dir(_MAX_DIR), fname(_MAX_FNAME), ext(_MAX_EXT);
    _splitpath(path.c_str(), drive.data(), dir.data(), fname.data(), ext.data());
    drive.check_guard();
    dir.check_guard();
    fname.check_guard();
    ext.check_guard();
    if (path.size() < _MAX_DIR && drive.text() + dir.text() + fname.text() + ext.text() != path) std::abort();
  }

  Part drive(data[0] % 8), dir(data[1]), fname(data[2]), ext(data[3]);
  errno_t result = _splitpath_s(path.c_str(), drive.data(), drive.size, dir.data(), dir.size, fname.data(),
                                fname.size, ext.data(), ext.size);
  drive.check_guard();
  dir.check_guard();
  fname.check_guard();
  ext.check_guard();
  if (result != 0 && result != EINVAL && result != ERANGE) std::abort();
  if (result == 0 && drive.size && dir.size && fname.size && ext.size &&
      drive.text() + dir.text() + fname.text() + ext.text() != path) {
    std::abort();
  }
  return 0;
}
