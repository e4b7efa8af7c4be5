// The registry hive reader on any file content: the hive file is the operator's to edit, and
// a damaged one must read as what it still holds. Whatever was read must also survive the
// writer: reading back what was written gives the same hive.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz/support/fuzz_machine.h"
#include "platform/reg_hive.h"

namespace {

bool same_hive(const platform::RegHive& a, const platform::RegHive& b) {
  if (a.format() != b.format() || a.keys().size() != b.keys().size()) return false;
  for (std::size_t i = 0; i < a.keys().size(); ++i) {
    const platform::RegKey& x = a.keys()[i];
    const platform::RegKey& y = b.keys()[i];
    if (x.path != y.path || x.values.size() != y.values.size()) return false;
    for (std::size_t j = 0; j < x.values.size(); ++j) {
      const platform::RegValue& v = x.values[j];
      const platform::RegValue& w = y.values[j];
      if (v.name != w.name || v.type != w.type || v.data != w.data) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  txfuzz::machine_root();  // the ANSI code page comes from the machine's settings
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view file(reinterpret_cast<const char*>(data), size);
  platform::RegHive hive = platform::RegHive::parse(file);
  for (const platform::RegKey& key : hive.keys()) {
    hive.find_key(key.path);
    for (const platform::RegValue& value : key.values) key.find_value(value.name);
  }
  // Text that does not survive the code page is changed on the first read; from then on a
  // write and a read must agree.
  platform::RegHive once = platform::RegHive::parse(hive.serialise());
  platform::RegHive twice = platform::RegHive::parse(once.serialise());
  if (!same_hive(once, twice)) std::abort();
  return 0;
}
