// Shared pieces of the fault tests: waiting on a condition, counting texts in the log, and
// deterministic incompressible bytes for log folders that take a while to copy, zip and send.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace txfault {

using namespace std::chrono_literals;

inline bool wait_for(const std::function<bool()>& done, std::chrono::milliseconds limit = 30000ms) {
  for (auto waited = 0ms; waited < limit; waited += 10ms) {
    if (done()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return done();
}

inline std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Bytes from a fixed xorshift sequence: deflate cannot shrink them, so zipping takes time
// proportional to their size and the archive is as big as the input.
inline std::string noise(std::size_t size, std::uint64_t seed = 0x9E3779B97F4A7C15ull) {
  std::string out(size, '\0');
  std::uint64_t x = seed;
  for (std::size_t i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    out[i] = static_cast<char>(x >> 32);
  }
  return out;
}

// The start record the worker writes for a copy-data request of type 7 with this text.
inline std::string started(const std::string& text) { return "[_ThreadProc]Start Job[0] data[" + text + "]"; }

}  // namespace txfault
