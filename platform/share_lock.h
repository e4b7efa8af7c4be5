// Windows share modes between handles of every process that uses the layer, kept as open
// file description locks on bytes far beyond any real data of the file:
//   one byte per access right (read, write, delete) held shared by every handle with it,
//   one byte per right a handle refuses to share, held shared by every handle refusing it.
// A new handle conflicts when someone holds an access it does not share, or refuses an
// access it asks for. The locks live and die with the descriptor, so a killed process
// releases them. Checks and takes happen under a per-file guard, so two openers never
// both pass.
#pragma once

#include <string>

#include "platform/types.h"

namespace platform {

enum ShareAccess : DWORD {
  kAccessRead = 1,
  kAccessWrite = 2,
  kAccessDelete = 4,
};

class ShareGuard {
 public:
  // Serialises share checks for the file open on `fd` across threads and processes.
  explicit ShareGuard(int fd);
  ~ShareGuard();
  ShareGuard(const ShareGuard&) = delete;
  ShareGuard& operator=(const ShareGuard&) = delete;

 private:
  int guard_fd_ = -1;
};

// Under a ShareGuard: false when another handle's access or sharing conflicts.
bool share_compatible(int fd, DWORD access, DWORD share);
// Under a ShareGuard: records `fd`'s access and sharing. False if the locks cannot be taken.
bool take_share_locks(int fd, DWORD access, DWORD share);

}  // namespace platform
