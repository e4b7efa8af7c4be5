// The settings-file reader: the INI text parser on any bytes, and the profile functions over
// a file holding them, the way the controller reads its settings file. The first input byte
// chooses the caller's buffer size; every answer must stay inside that buffer and end in NUL,
// and a key written into the file must read back as written.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/support/fuzz_machine.h"
#include "platform/ini_text.h"
#include "platform/profile.h"

namespace {

const char kFile[] = "C:\\settings.ini";
constexpr std::size_t kGuard = 16;
constexpr char kGuardByte = '\x5A';

// Calls GetPrivateProfileStringA into a buffer of `size` bytes followed by guard bytes, and
// checks the contract: the count excludes the final NUL and leaves room for it, and nothing is
// written past the buffer.
std::string read_profile(const char* section, const char* key, DWORD size) {
  std::vector<char> buffer(size + kGuard, kGuardByte);
  DWORD n = GetPrivateProfileStringA(section, key, "fallback", buffer.data(), size, kFile);
  for (std::size_t i = size; i < buffer.size(); ++i) {
    if (buffer[i] != kGuardByte) std::abort();
  }
  if (size < 2) {
    if (n != 0) std::abort();
    return {};
  }
  if (n >= size || buffer[n] != '\0') std::abort();
  return std::string(buffer.data(), n);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  txfuzz::machine_root();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const DWORD buffer_size = data[0] < 0x80 ? data[0] : 4096;
  std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  platform::IniText text = platform::IniText::parse(bytes, 949);
  for (const platform::IniLineSpan& span : text.spans()) {
    if (span.begin > span.end || span.end > span.next || span.next > bytes.size()) std::abort();
  }
  for (const platform::IniSection& section : text.sections()) {
    if (section.line >= text.lines().size() || section.end_line > text.lines().size()) std::abort();
    for (const platform::IniEntry& entry : section.entries) text.value(section.name, entry.key);
  }

  txfuzz::write_host_file(txfuzz::drive_c_file("settings.ini"), bytes.data(), bytes.size());
  read_profile(nullptr, nullptr, buffer_size);
  std::string first_section;
  std::string first_key;
  if (!text.sections().empty()) {
    first_section = text.sections().front().name;
    read_profile(first_section.c_str(), nullptr, buffer_size);
    for (const platform::IniEntry& entry : text.sections().front().entries) {
      read_profile(first_section.c_str(), entry.key.c_str(), buffer_size);
      GetPrivateProfileIntA(first_section.c_str(), entry.key.c_str(), -1, kFile);
    }
  }
  read_profile("config", "updatefilepath", buffer_size);

  // The editor changes one line and keeps the rest: what it wrote must read back. Names the
  // parser would cut or take for something else are not names a caller can write.
  std::string section = first_section.empty() ? "config" : first_section;
  if (section.find_first_of("[]\r\n") != std::string::npos || section != platform::trim_blanks(section)) return 0;
  if (section.find('\0') != std::string::npos || text.utf16()) return 0;
  if (!WritePrivateProfileStringA(section.c_str(), "fuzzkey", "written value", kFile)) return 0;
  if (read_profile(section.c_str(), "fuzzkey", 64) != "written value") std::abort();
  return 0;
}
