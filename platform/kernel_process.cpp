// kernel32 process start: CreateProcessA for programs and scripts in drive C.
//
// A dynamic ELF program is run through the loader named in its own PT_INTERP header, given
// the program as its argument ("loader --argv0 ARGV0 PROGRAM ARGS..."), and a script through
// the interpreter of its "#!" line ("interpreter [option] SCRIPT ARGS..."), exactly as the
// kernel would run them; so the file needs no execute bit, as on Windows, and is left as it
// is. Only a static ELF program, which has no loader, is executed directly and needs one.
// The start is a double fork: the intermediate child makes a new session, forks the program
// and exits at once, and the caller reaps it, so the program belongs to no process of ours
// and outlives its starter. The program's child reports a failure to change folder or to
// execute over a close-on-exec pipe; an exec that succeeds closes the pipe and reports
// nothing.
#include <elf.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/command_line.h"
#include "platform/error_map.h"
#include "platform/handle_table.h"
#include "platform/kernel.h"
#include "platform/path_map.h"
#include "platform/process_image.h"
#include "platform/scoped_handle.h"

extern char** environ;

namespace platform {

namespace {

struct ProcessObject : KernelObject {
  DWORD id = 0;
};

struct ProcessThreadObject : KernelObject {
  DWORD id = 0;
};

enum class Probe { kFile, kStop, kMissing };

// One candidate Windows path: a file ends the search, a folder ends it with
// ERROR_ACCESS_DENIED, anything else lets the search go on with the reason in *error.
Probe probe(const std::string& windows_path, std::string* host_out, DWORD* error) {
  auto host = host_path(windows_path, error);
  if (!host) return Probe::kMissing;
  struct stat st;
  if (::stat(host->c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      *error = ERROR_ACCESS_DENIED;
      return Probe::kStop;
    }
    *host_out = *host;
    return Probe::kFile;
  }
  if (errno == ENOENT) {
    std::string folder = host->substr(0, host->rfind('/'));
    *error = ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
  } else if (errno == ENOTDIR) {
    *error = ERROR_PATH_NOT_FOUND;
  } else {
    *error = win32_error_from_errno(errno);
  }
  return Probe::kMissing;
}

bool has_extension(const std::string& name) {
  std::size_t last = name.find_last_of("\\/:");
  return name.find('.', last == std::string::npos ? 0 : last + 1) != std::string::npos;
}

bool has_folder(const std::string& name) { return name.find_first_of("\\/:") != std::string::npos; }

// Where a bare program name is looked for, in Windows' order, within drive C.
std::vector<std::string> search_folders() {
  std::vector<std::string> folders;
  if (auto image = process_image_host_path(::getpid())) {
    if (auto windows = windows_path_of_host_file(*image)) folders.push_back(windows->substr(0, windows->rfind('\\')));
  }
  folders.push_back(current_windows_folder());
  folders.push_back("C:\\Windows\\System32");
  folders.push_back("C:\\Windows\\System");
  folders.push_back("C:\\Windows");
  // PATH holds host folders on this machine; only its drive-letter entries are the machine's.
  if (const char* path = std::getenv("PATH")) {
    std::string list = path;
    std::size_t start = 0;
    while (start <= list.size()) {
      std::size_t end = list.find(';', start);
      if (end == std::string::npos) end = list.size();
      std::string entry = list.substr(start, end - start);
      if (entry.size() >= 2 && entry[1] == ':') folders.push_back(entry);
      start = end + 1;
    }
  }
  return folders;
}

// The program a command line names: its host path, or nullopt with the Windows error.
std::optional<std::string> find_program(const std::string& command_line, DWORD* error) {
  *error = ERROR_PATH_NOT_FOUND;
  for (const std::string& candidate : program_name_candidates(command_line)) {
    std::string name = has_extension(candidate) ? candidate : candidate + ".exe";
    std::vector<std::string> paths;
    if (has_folder(name)) {
      paths.push_back(name);
    } else {
      for (const std::string& folder : search_folders()) {
        paths.push_back(folder + (folder.back() == '\\' ? "" : "\\") + name);
      }
    }
    for (const std::string& path : paths) {
      std::string host;
      switch (probe(path, &host, error)) {
        case Probe::kFile:
          return host;
        case Probe::kStop:
          return std::nullopt;
        case Probe::kMissing:
          break;
      }
    }
  }
  return std::nullopt;
}

#if defined(__x86_64__)
constexpr unsigned kHostMachine = EM_X86_64;
#elif defined(__aarch64__)
constexpr unsigned kHostMachine = EM_AARCH64;
#elif defined(__i386__)
constexpr unsigned kHostMachine = EM_386;
#endif

// How a program file is run: the file to execute and the arguments put before the
// command line's own (which start with argv[0] unless the loader is told it).
struct Launch {
  std::string file;
  std::vector<std::string> leading;
  bool loader = false;
  bool script = false;
};

template <class Ehdr, class Phdr>
std::optional<Launch> elf_launch(int fd, const std::string& host, DWORD* error) {
  Ehdr header;
  if (::pread(fd, &header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) ||
      (header.e_type != ET_EXEC && header.e_type != ET_DYN) || header.e_machine != kHostMachine ||
      header.e_phentsize != sizeof(Phdr)) {
    *error = ERROR_BAD_EXE_FORMAT;
    return std::nullopt;
  }
  Launch launch;
  launch.file = host;
  for (unsigned i = 0; i < header.e_phnum; ++i) {
    Phdr ph;
    if (::pread(fd, &ph, sizeof ph, static_cast<off_t>(header.e_phoff + i * sizeof ph)) !=
        static_cast<ssize_t>(sizeof ph)) {
      *error = ERROR_BAD_EXE_FORMAT;
      return std::nullopt;
    }
    if (ph.p_type != PT_INTERP) continue;
    std::string interp(ph.p_filesz, '\0');
    if (ph.p_filesz == 0 || ph.p_filesz > 4096 ||
        ::pread(fd, interp.data(), interp.size(), static_cast<off_t>(ph.p_offset)) !=
            static_cast<ssize_t>(interp.size())) {
      *error = ERROR_BAD_EXE_FORMAT;
      return std::nullopt;
    }
    interp.resize(std::strlen(interp.c_str()));
    launch.file = interp;
    launch.loader = true;
    launch.leading = {interp};
  }
  return launch;
}

std::optional<Launch> script_launch(const char* head, std::size_t length, const std::string& host, DWORD* error) {
  std::string line(head + 2, length - 2);
  std::size_t end = line.find('\n');
  if (end == std::string::npos) {
    *error = ERROR_BAD_EXE_FORMAT;  // the kernel, too, refuses a "#!" line longer than its buffer
    return std::nullopt;
  }
  line.resize(end);
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  std::size_t i = 0;
  while (i < line.size() && blank(line[i])) ++i;
  std::size_t word_end = i;
  while (word_end < line.size() && !blank(line[word_end])) ++word_end;
  if (word_end == i) {
    *error = ERROR_BAD_EXE_FORMAT;
    return std::nullopt;
  }
  Launch launch;
  launch.script = true;
  launch.file = line.substr(i, word_end - i);
  launch.leading.push_back(launch.file);
  // As the kernel does: the rest of the line, trimmed, is one optional argument.
  std::size_t option = word_end;
  while (option < line.size() && blank(line[option])) ++option;
  std::size_t option_end = line.size();
  while (option_end > option && blank(line[option_end - 1])) --option_end;
  if (option_end > option) launch.leading.push_back(line.substr(option, option_end - option));
  launch.leading.push_back(host);
  return launch;
}

std::optional<Launch> plan_launch(const std::string& host, DWORD* error) {
  ScopedFd fd(::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (!fd) {
    *error = win32_error_from_errno(errno);
    return std::nullopt;
  }
  char head[256];
  ssize_t n = ::pread(fd.get(), head, sizeof head, 0);
  std::optional<Launch> launch;
  if (n >= SELFMAG && std::memcmp(head, ELFMAG, SELFMAG) == 0 && n > EI_CLASS) {
    if (head[EI_CLASS] == ELFCLASS64) {
      launch = elf_launch<Elf64_Ehdr, Elf64_Phdr>(fd.get(), host, error);
    } else if (head[EI_CLASS] == ELFCLASS32) {
      launch = elf_launch<Elf32_Ehdr, Elf32_Phdr>(fd.get(), host, error);
    } else {
      *error = ERROR_BAD_EXE_FORMAT;
    }
  } else if (n >= 2 && head[0] == '#' && head[1] == '!') {
    launch = script_launch(head, static_cast<std::size_t>(n), host, error);
  } else {
    *error = ERROR_BAD_EXE_FORMAT;  // PE images included: this machine runs none
  }
  if (launch && ::access(launch->file.c_str(), X_OK) != 0) {
    // A missing or unusable loader or interpreter makes the file unrunnable here.
    *error = launch->loader || launch->script ? ERROR_BAD_EXE_FORMAT : win32_error_from_errno(errno);
    return std::nullopt;
  }
  return launch;
}

std::vector<std::string> environment_strings(LPVOID block, DWORD flags) {
  std::vector<std::string> strings;
  if (!block) {
    for (char** entry = environ; *entry; ++entry) strings.emplace_back(*entry);
    return strings;
  }
  if (flags & CREATE_UNICODE_ENVIRONMENT) {
    for (auto* p = static_cast<const char16_t*>(block); *p;) {
      std::u16string_view entry(p);
      strings.push_back(utf16_to_utf8(entry));
      p += entry.size() + 1;
    }
  } else {
    for (auto* p = static_cast<const char*>(block); *p;) {
      std::string_view entry(p);
      strings.push_back(ansi_to_utf8(entry));
      p += entry.size() + 1;
    }
  }
  return strings;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (auto& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

// What a child of the start tells the caller.
struct Report {
  char kind;  // 'p' the program's pid, 'f' fork failed, 'c' chdir failed, 'x' exec failed
  int value;
};

void send(int fd, char kind, int value) {
  Report report{kind, value};
  ssize_t ignored = ::write(fd, &report, sizeof report);
  (void)ignored;
}

#ifndef CLOSE_RANGE_CLOEXEC
#define CLOSE_RANGE_CLOEXEC (1U << 2)
#endif

// Runs in the program's child, between fork and exec: async-signal-safe calls only.
[[noreturn]] void become_program(int report_fd, const char* folder, const char* file, char** argv, char** envp) {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);
  int null_fd = ::open("/dev/null", O_RDWR);
  if (null_fd >= 0) {
    for (int std_fd = 0; std_fd < 3; ++std_fd) ::dup2(null_fd, std_fd);
    if (null_fd > 2) ::close(null_fd);
  }
  // No descriptor of the starter reaches the program.
  if (::syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC) != 0) {
    for (int fd = 3; fd < 65536; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  if (::chdir(folder) != 0) {
    send(report_fd, 'c', errno);
    ::_exit(127);
  }
  ::execve(file, argv, envp);
  send(report_fd, 'x', errno);
  ::_exit(127);
}

DWORD exec_error(int error) {
  switch (error) {
    case ENOEXEC:
    case ENOENT:
    case ELIBBAD:
    case EINVAL:
      return ERROR_BAD_EXE_FORMAT;
    case E2BIG:
      return ERROR_INVALID_PARAMETER;
    default:
      return win32_error_from_errno(error);
  }
}

// Starts the program detached; its pid, or nullopt with the Windows error.
std::optional<pid_t> start_detached(const Launch& launch, std::vector<std::string> argv_strings,
                                    std::vector<std::string> env_strings, const std::string& folder, DWORD* error) {
  std::vector<char*> argv = pointers(argv_strings);
  std::vector<char*> envp = pointers(env_strings);
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    *error = win32_error_from_errno(errno);
    return std::nullopt;
  }
  ScopedFd read_end(fds[0]);
  ScopedFd write_end(fds[1]);
  pid_t intermediate = ::fork();
  if (intermediate < 0) {
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return std::nullopt;
  }
  if (intermediate == 0) {
    ::setsid();
    pid_t program = ::fork();
    if (program < 0) {
      send(fds[1], 'f', errno);
      ::_exit(1);
    }
    if (program == 0) become_program(fds[1], folder.c_str(), launch.file.c_str(), argv.data(), envp.data());
    send(fds[1], 'p', program);
    ::_exit(0);
  }
  write_end.reset();
  int status;
  while (::waitpid(intermediate, &status, 0) < 0 && errno == EINTR) {
  }
  std::optional<pid_t> pid;
  *error = ERROR_NOT_ENOUGH_MEMORY;
  Report report;
  for (;;) {
    ssize_t n = ::read(read_end.get(), &report, sizeof report);
    if (n < 0 && errno == EINTR) continue;
    if (n != static_cast<ssize_t>(sizeof report)) break;
    switch (report.kind) {
      case 'p':
        pid = report.value;
        break;
      case 'c':
        *error = ERROR_DIRECTORY;
        return std::nullopt;
      case 'x':
        *error = exec_error(report.value);
        return std::nullopt;
      default:
        return std::nullopt;
    }
  }
  return pid;
}

std::optional<std::string> host_folder(LPCSTR current_directory, DWORD* error) {
  std::string windows = current_directory ? std::string(current_directory) : current_windows_folder();
  auto host = host_path(windows, error);
  struct stat st;
  if (!host || ::stat(host->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    *error = ERROR_DIRECTORY;
    return std::nullopt;
  }
  return host;
}

}  // namespace

}  // namespace platform

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                    DWORD creationFlags, LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                    LPPROCESS_INFORMATION processInformation) {
  if (applicationName || !commandLine || !startupInfo || !processInformation) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string line = commandLine;
  DWORD error = ERROR_SUCCESS;
  auto program = platform::find_program(line, &error);
  if (!program) {
    SetLastError(error);
    return FALSE;
  }
  auto launch = platform::plan_launch(*program, &error);
  if (!launch) {
    SetLastError(error);
    return FALSE;
  }
  auto folder = platform::host_folder(currentDirectory, &error);
  if (!folder) {
    SetLastError(error);
    return FALSE;
  }

  std::vector<std::string> args = platform::split_command_line(line);
  if (args.empty()) args.emplace_back();
  std::vector<std::string> argv = launch->leading;
  if (launch->loader) {
    argv.push_back("--argv0");
    argv.push_back(platform::ansi_to_utf8(args[0]));
    argv.push_back(*program);
  } else if (!launch->script) {
    argv.push_back(platform::ansi_to_utf8(args[0]));
  }
  for (std::size_t i = 1; i < args.size(); ++i) argv.push_back(platform::ansi_to_utf8(args[i]));

  auto pid = platform::start_detached(*launch, std::move(argv), platform::environment_strings(environment, creationFlags),
                                      *folder, &error);
  if (!pid) {
    SetLastError(error);
    return FALSE;
  }
  auto process = std::make_shared<platform::ProcessObject>();
  process->id = static_cast<DWORD>(*pid);
  auto thread = std::make_shared<platform::ProcessThreadObject>();
  thread->id = static_cast<DWORD>(*pid);  // a process's main thread has the process's id here
  processInformation->hProcess = platform::insert_handle(std::move(process));
  processInformation->hThread = platform::insert_handle(std::move(thread));
  processInformation->dwProcessId = static_cast<DWORD>(*pid);
  processInformation->dwThreadId = static_cast<DWORD>(*pid);
  return TRUE;
}
