#include "fuzz/support/fuzz_machine.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "platform/machine.h"

namespace txfuzz {

namespace {

class MachineFolder {
 public:
  MachineFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "txfuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    ::setenv("TX_MACHINE", root_.c_str(), 1);
    platform::Machine::current();
  }
  ~MachineFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  MachineFolder(const MachineFolder&) = delete;
  MachineFolder& operator=(const MachineFolder&) = delete;

  const std::string& root() const { return root_; }

 private:
  std::string root_;
};

}  // namespace

const std::string& machine_root() {
  static MachineFolder folder;
  return folder.root();
}

std::string drive_c_file(const std::string& name) { return machine_root() + "/drive_c/" + name; }

void write_host_file(const std::string& path, const void* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) throw std::runtime_error("cannot write " + path);
  bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) throw std::runtime_error("cannot write " + path);
}

}  // namespace txfuzz
