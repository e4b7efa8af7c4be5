// Real peer processes for tests: start a program, wait for it, read what it printed.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace txtest {

struct ProcessResult {
  int exit_code = -1;  // -1 when killed by a signal
  std::string output;  // standard output and standard error together
};

// Runs a program to its end; the environment is the test's (TX_MACHINE included).
ProcessResult run_process(const std::vector<std::string>& argv);

// Starts a program without waiting; returns its pid.
pid_t start_process(const std::vector<std::string>& argv);
// Waits for a started program; its exit code, or -1 when killed by a signal.
int wait_process(pid_t pid);

// Full path of a helper program built beside the tests, or of a project executable.
std::string helper_path(const std::string& name);
std::string bin_path(const std::string& name);

}  // namespace txtest
