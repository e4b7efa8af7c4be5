// The emulated machine: one folder that holds drive C, the machine's settings, the current
// user's registry hive, the session's named objects and the debug channel.
//
//   $TX_MACHINE (default ~/.txmachine)
//     drive_c/                       C:\ (with Windows\System32\drivers\etc and Users\<user>\Desktop)
//     machine.ini                    [machine] computername, username, codepage, windows64
//     user.reg                       HKEY_CURRENT_USER as a .reg text file
//     certs/                         extra trusted certificate authorities (PEM)
//     run/                           owner-only: named kernel objects and window endpoints
//     debug.log                      OutputDebugStringA, one line per call
//
// A missing folder is laid out on first use. The folder is looked up again whenever
// TX_MACHINE changes, so a test process can switch machines between cases.
#pragma once

#include <string>

#include "platform/types.h"

namespace platform {

struct MachineSettings {
  std::string computer_name;  // upper case, at most 15 characters
  std::string user_name;
  UINT code_page = 949;
  bool windows64 = true;
};

class Machine {
 public:
  // The machine named by TX_MACHINE now, laid out if missing. Never null; when the folder
  // cannot be created the paths still point at it and file operations fail there.
  static const Machine& current();

  const std::string& root() const { return root_; }
  std::string drive_c() const { return root_ + "/drive_c"; }
  std::string registry_hive() const { return root_ + "/user.reg"; }
  std::string run_dir() const { return root_ + "/run"; }
  std::string certs_dir() const { return root_ + "/certs"; }
  std::string debug_log() const { return root_ + "/debug.log"; }
  std::string settings_file() const { return root_ + "/machine.ini"; }
  // Windows path of the current user's profile folder, for example C:\Users\alice.
  std::string user_profile() const { return "C:\\Users\\" + settings_.user_name; }
  const MachineSettings& settings() const { return settings_; }

  explicit Machine(std::string root);

 private:
  void lay_out() const;
  void read_settings();

  std::string root_;
  MachineSettings settings_;
};

// The folder TX_MACHINE names, or ~/.txmachine.
std::string machine_root_from_environment();

}  // namespace platform
