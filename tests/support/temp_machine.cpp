#include "tests/support/temp_machine.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace txtest {

TempMachine::TempMachine() {
  std::string pattern = (std::filesystem::temp_directory_path() / "txmachine-XXXXXX").string();
  char* made = ::mkdtemp(pattern.data());
  if (!made) throw std::runtime_error("mkdtemp failed");
  root_ = made;
  ::setenv("TX_MACHINE", root_.c_str(), 1);
}

TempMachine::~TempMachine() {
  std::error_code ignored;
  // Read-only files and folders made by a test must not stop the clean-up.
  for (auto it = std::filesystem::recursive_directory_iterator(root_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(root_, ignored);
}

std::string TempMachine::host(const std::string& windows_path) const {
  std::string rest = windows_path.substr(windows_path.size() >= 2 && windows_path[1] == ':' ? 2 : 0);
  for (char& c : rest) {
    if (c == '\\') c = '/';
  }
  return root_ + "/drive_c" + rest;
}

void TempMachine::write_file(const std::string& windows_path, const std::string& bytes) const {
  std::filesystem::path path = host(windows_path);
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::string TempMachine::read_file(const std::string& windows_path) const {
  std::ifstream in(host(windows_path), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool TempMachine::exists(const std::string& windows_path) const {
  return std::filesystem::exists(host(windows_path));
}

}  // namespace txtest
