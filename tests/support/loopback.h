// Loopback addresses of a test's own: a peer that must listen on a fixed port (the product's
// addresses carry none) takes a random address in 127.0.0.0/8, which the machine's hosts file
// then names, so tests running side by side never meet on the same port.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>
#include <string>

#include "tests/support/temp_machine.h"

namespace txtest {

inline std::string random_loopback_address() {
  std::random_device seed;
  std::uniform_int_distribution<int> part(2, 254);
  return "127." + std::to_string(part(seed)) + "." + std::to_string(part(seed)) + "." + std::to_string(part(seed));
}

// Points `host` at `address` in the machine's hosts file.
inline void map_host(const TempMachine& machine, const std::string& host, const std::string& address) {
  machine.write_file("C:\\Windows\\System32\\drivers\\etc\\hosts", address + " " + host + "\n");
}

inline bool accepts_connections(const std::string& address, int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<uint16_t>(port));
  ::inet_pton(AF_INET, address.c_str(), &target.sin_addr);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0;
  ::close(fd);
  return ok;
}

}  // namespace txtest
