// Windows paths of the machine and the host paths that stand for them.
//
// Drive C is the machine's drive_c folder and the only drive. Both separators are accepted;
// "." and ".." are resolved and trailing dots and spaces are cut from each name, as Win32
// path normalisation does. Names are narrow text in the machine's code page and are stored
// on disk as UTF-8. A name that misses by letter case finds the existing entry. Names with
// characters Windows forbids are refused with ERROR_INVALID_NAME.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/types.h"

namespace platform {

// The full, normalised Windows form of a path ("C:\dir\name"), in the machine's code page;
// relative paths are taken from the process's current folder. Empty on a syntax error, with
// the Windows error in *error.
std::string full_windows_path(std::string_view path, DWORD* error);

struct HostPathOptions {
  // Let '*' and '?' stand in the last name (a search pattern).
  bool wildcards_in_last = false;
};

// The host path for a Windows path, or nullopt with the Windows error in *error
// (ERROR_INVALID_NAME, ERROR_PATH_NOT_FOUND for another drive or a syntax error).
std::optional<std::string> host_path(std::string_view windows_path, DWORD* error,
                                     HostPathOptions options = {});

// The Windows path (machine code page) of a host path inside drive C, or nullopt.
std::optional<std::string> windows_path_from_host(std::string_view host);

// The process's current folder, as a full Windows path without a trailing separator
// (except for a drive root "C:\").
std::string current_windows_folder();
bool set_current_windows_folder(std::string_view path, DWORD* error);

// True for a drive root such as "C:\" (in full form).
bool is_drive_root(std::string_view full_path);

}  // namespace platform
