// The image of a running process as the layer presents it: the file a Windows program was
// started from, whatever runs it on this host.
//
// A process's image is found from /proc:
//   - run by the dynamic loader (the form CreateProcessA uses for every dynamic ELF program:
//     "loader --argv0 NAME PROGRAM ARGS..." or "loader PROGRAM ARGS..."): PROGRAM;
//   - an interpreter running a script (the form the kernel and CreateProcessA give a "#!"
//     file: "interpreter [option] SCRIPT ARGS..."): SCRIPT, when that file starts with "#!"
//     and its first line names the running interpreter (directly, or through env);
//   - otherwise the file /proc/PID/exe names.
// The file name is the last name of the image's Windows path when the image lies in drive C
// (so it is the Windows name, in the machine's code page), else the host file's name, and
// the kernel's command name when the image cannot be read (another user's process, a kernel
// thread).
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace platform {

// Host path of the process's image, or nullopt when it cannot be read.
std::optional<std::string> process_image_host_path(pid_t pid);

// The image's file name without folder, in the machine's code page; empty when the process
// has gone.
std::string process_image_name(pid_t pid);

// The Windows path of a host path in drive C, also when the host path has its symbolic
// links resolved (as /proc gives it) and the machine folder is named through one.
std::optional<std::string> windows_path_of_host_file(const std::string& host);

}  // namespace platform
