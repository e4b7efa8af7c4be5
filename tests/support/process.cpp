#include "tests/support/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

extern char** environ;

namespace txtest {

namespace {

std::vector<char*> c_argv(const std::vector<std::string>& argv) {
  std::vector<char*> out;
  for (const auto& a : argv) out.push_back(const_cast<char*>(a.c_str()));
  out.push_back(nullptr);
  return out;
}

}  // namespace

std::string helper_path(const std::string& name) { return std::string(TX_HELPER_DIR) + "/" + name; }
std::string bin_path(const std::string& name) { return std::string(TX_BIN_DIR) + "/" + name; }

pid_t start_process(const std::vector<std::string>& argv) {
  pid_t pid;
  auto args = c_argv(argv);
  if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
    throw std::runtime_error("cannot start " + argv[0]);
  }
  return pid;
}

int wait_process(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ProcessResult run_process(const std::vector<std::string>& argv) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
  pid_t pid;
  auto args = c_argv(argv);
  int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  if (rc != 0) {
    ::close(pipe_fds[0]);
    throw std::runtime_error("cannot start " + argv[0]);
  }
  ProcessResult result;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0) result.output.append(buffer, static_cast<size_t>(n));
  ::close(pipe_fds[0]);
  result.exit_code = wait_process(pid);
  return result;
}

}  // namespace txtest
