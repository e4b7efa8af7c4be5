// A machine folder of its own for one test: made in a temporary directory, named by
// TX_MACHINE for the test's process (and the processes it starts), removed afterwards.
#pragma once

#include <string>

namespace txtest {

class TempMachine {
 public:
  TempMachine();
  ~TempMachine();
  TempMachine(const TempMachine&) = delete;
  TempMachine& operator=(const TempMachine&) = delete;

  const std::string& root() const { return root_; }
  // Host path of a Windows path under C:\, for preparing and checking files directly.
  std::string host(const std::string& windows_path) const;
  void write_file(const std::string& windows_path, const std::string& bytes) const;
  std::string read_file(const std::string& windows_path) const;
  bool exists(const std::string& windows_path) const;

 private:
  std::string root_;
};

}  // namespace txtest
