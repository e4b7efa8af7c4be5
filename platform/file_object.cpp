#include "platform/file_object.h"

#include "platform/kernel.h"

namespace platform {

DWORD attributes_from_stat(const struct stat& st) {
  DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

FILETIME filetime_from_timespec(const struct timespec& time) {
  constexpr std::uint64_t kEpochDifference = 116444736000000000ULL;  // 1601 to 1970 in 100 ns
  std::uint64_t ticks = kEpochDifference + static_cast<std::uint64_t>(time.tv_sec) * 10000000ULL +
                        static_cast<std::uint64_t>(time.tv_nsec) / 100;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace platform
