// The update address's split into the file name and extension the controller downloads to
// and starts: the address comes from a sender's WM_COPYDATA text or the settings.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/worker.h"
#include "common/install_paths.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string address(reinterpret_cast<const char*>(data), size);
  address = address.c_str();
  std::string name;
  std::string extension;
  if (!SplitUpdateAddress(address.c_str(), name, extension)) return 0;
  // The parts are the address's last name, and the target path composed of them fits.
  if (std::strlen(TX_INSTALL_ROOT "\\") + name.size() + extension.size() >= MAX_PATH) std::abort();
  if (name.size() + extension.size() > address.size()) std::abort();
  if (address.compare(address.size() - extension.size(), extension.size(), extension) != 0) std::abort();
  if (name.find_first_of("\\/") != std::string::npos || extension.find_first_of("\\/") != std::string::npos) {
    std::abort();
  }
  if (!extension.empty() && extension[0] != '.') std::abort();
  return 0;
}
