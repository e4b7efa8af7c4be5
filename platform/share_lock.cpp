#include "platform/share_lock.h"

#include <fcntl.h>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

#include "platform/machine.h"

namespace platform {

namespace {

constexpr off_t kLockBase = 0x7FFFFFFF00000000LL;
constexpr off_t kAccessByte[] = {0, 1, 2};  // read, write, delete
constexpr off_t kDenyByte[] = {3, 4, 5};
constexpr DWORD kRights[] = {kAccessRead, kAccessWrite, kAccessDelete};

bool held_by_others(int fd, off_t byte) {
  struct flock probe = {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = kLockBase + byte;
  probe.l_len = 1;
  if (::fcntl(fd, F_OFD_GETLK, &probe) != 0) return false;
  return probe.l_type != F_UNLCK;
}

bool hold_shared(int fd, off_t byte) {
  struct flock lock = {};
  lock.l_type = F_RDLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = kLockBase + byte;
  lock.l_len = 1;
  return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

std::mutex& process_guard() {
  static std::mutex m;
  return m;
}

}  // namespace

ShareGuard::ShareGuard(int fd) {
  process_guard().lock();
  struct stat st;
  if (::fstat(fd, &st) != 0) return;
  guard_fd_ = ::open((Machine::current().run_dir() + "/share.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (guard_fd_ < 0) return;
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>((st.st_ino ^ st.st_dev) % 65521);
  lock.l_len = 1;
  while (::fcntl(guard_fd_, F_OFD_SETLKW, &lock) != 0 && errno == EINTR) {
  }
}

ShareGuard::~ShareGuard() {
  if (guard_fd_ >= 0) ::close(guard_fd_);  // closing releases the guard lock
  process_guard().unlock();
}

bool share_compatible(int fd, DWORD access, DWORD share) {
  for (int i = 0; i < 3; ++i) {
    if (!(share & kRights[i]) && held_by_others(fd, kAccessByte[i])) return false;
    if ((access & kRights[i]) && held_by_others(fd, kDenyByte[i])) return false;
  }
  return true;
}

bool take_share_locks(int fd, DWORD access, DWORD share) {
  for (int i = 0; i < 3; ++i) {
    if ((access & kRights[i]) && !hold_shared(fd, kAccessByte[i])) return false;
    if (!(share & kRights[i]) && !hold_shared(fd, kDenyByte[i])) return false;
  }
  return true;
}

}  // namespace platform
