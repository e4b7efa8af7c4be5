// txmachine: prepares and inspects a machine folder for the controller.
//
//   txmachine init                              lay out the machine folder, print its path
//   txmachine show                              machine settings, the controller's registry values and
//                                               settings-file keys, and what the lookups give
//   txmachine reg set NAME TYPE VALUE           TYPE dword (0..4294967295, decimal or 0x hex) or sz
//   txmachine reg get NAME | reg delete NAME
//   txmachine ini set KEY VALUE [--file PATH] [--section NAME]   (creates the file's folder)
//   txmachine ini get KEY [--file PATH] [--section NAME] | ini delete KEY [...]
//   txmachine lookup                            hospital identifier, chart code and log level
//   txmachine path WINDOWS-PATH                 the host path that stands for a Windows path
//
// The machine folder is $TX_MACHINE, or ~/.txmachine. Texts on the command line and on
// output are UTF-8; the machine stores them in its ANSI code page.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/install_paths.h"
#include "common/settings.h"
#include "platform/machine.h"
#include "platform/path_map.h"
#include "platform/scoped_handle.h"
#include "platform/win32.h"

namespace {

struct RegKeyTraits {
  using Handle = HKEY;
  static Handle invalid() noexcept { return nullptr; }
  static bool is_valid(Handle h) noexcept { return h != nullptr; }
  static void close(Handle h) noexcept { RegCloseKey(h); }
};
using ScopedKey = platform::ScopedHandle<RegKeyTraits>;

constexpr const char* kConfigFile = TX_INSTALL_ROOT TX_BIN_SUBFOLDER TX_CONFIG_FILE_NAME;
constexpr const char* kKnownValues[][2] = {{"level", "dword"}, {"chartcode", "dword"}, {"hospitalid", "sz"}};
constexpr const char* kConfigKeys[] = {"hospitalid",     "chartcode",      "updatefilepath",
                                       "noticefilepath", "noticefiletime", "noticelasttime"};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string convert(const std::string& text, UINT from, UINT to) {
  if (text.empty()) return text;
  int wide_size = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string wide(static_cast<std::size_t>(wide_size), u'\0');
  MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), wide.data(), wide_size);
  int size = WideCharToMultiByte(to, 0, wide.data(), wide_size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(to, 0, wide.data(), wide_size, out.data(), size, nullptr, nullptr);
  return out;
}
std::string to_ansi(const std::string& utf8) { return convert(utf8, CP_UTF8, CP_ACP); }
std::string to_utf8(const std::string& ansi) { return convert(ansi, CP_ACP, CP_UTF8); }

std::string windows_error(const char* what, DWORD code) {
  return std::string(what) + " failed with Windows error " + std::to_string(code);
}

ScopedKey open_product_key(bool create) {
  HKEY key = nullptr;
  LSTATUS status = create ? RegCreateKeyExA(HKEY_CURRENT_USER, TX_REGISTRY_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_READ | KEY_WRITE, nullptr, &key, nullptr)
                          : RegOpenKeyExA(HKEY_CURRENT_USER, TX_REGISTRY_KEY, 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) {
    if (!create && status == ERROR_FILE_NOT_FOUND) return ScopedKey();
    throw Failure(windows_error(create ? "creating HKCU\\" TX_REGISTRY_KEY : "opening HKCU\\" TX_REGISTRY_KEY,
                                static_cast<DWORD>(status)));
  }
  return ScopedKey(key);
}

std::optional<DWORD> parse_dword(const std::string& text) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
  errno = 0;
  char* end = nullptr;
  unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || value > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<DWORD>(value);
}

const char* known_type(const std::string& name) {
  for (const auto& known : kKnownValues) {
    if (name == known[0]) return known[1];
  }
  return nullptr;
}

void reg_set(const std::string& name, const std::string& type, const std::string& value) {
  if (type != "dword" && type != "sz") throw UsageError("unknown type '" + type + "' (use dword or sz)");
  if (const char* expected = known_type(name); expected && type != expected) {
    throw UsageError("the controller reads '" + name + "' as " + expected + ", not " + type);
  }
  ScopedKey key = open_product_key(true);
  LSTATUS status;
  if (type == "dword") {
    auto number = parse_dword(value);
    if (!number) throw UsageError("'" + value + "' is not a number from 0 to 4294967295");
    DWORD data = *number;
    status = RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
  } else {
    std::string text = to_ansi(value);
    status = RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() + 1));
  }
  if (status != ERROR_SUCCESS) throw Failure(windows_error("writing the value", static_cast<DWORD>(status)));
}

// The value as "type value" text, or nullopt when missing.
std::optional<std::string> reg_describe(HKEY key, const std::string& name) {
  DWORD type = 0, size = 0;
  if (!key || RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::vector<BYTE> data(size + 1);
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return std::nullopt;
  if (type == REG_DWORD && size == 4) {
    DWORD v = static_cast<DWORD>(data[0]) | static_cast<DWORD>(data[1]) << 8 | static_cast<DWORD>(data[2]) << 16 |
              static_cast<DWORD>(data[3]) << 24;
    char text[32];
    std::snprintf(text, sizeof text, "dword %lu (0x%08lX)", static_cast<unsigned long>(v),
                  static_cast<unsigned long>(v));
    return std::string(text);
  }
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    return "sz \"" + to_utf8(std::string(reinterpret_cast<const char*>(data.data()))) + "\"";
  }
  std::string hex = "type " + std::to_string(type) + " hex:";
  char byte[4];
  for (DWORD i = 0; i < size; ++i) {
    std::snprintf(byte, sizeof byte, i ? ",%02x" : "%02x", data[i]);
    hex += byte;
  }
  return hex;
}

struct IniTarget {
  std::string file = kConfigFile;
  std::string section = TX_CONFIG_SECTION;
};

IniTarget parse_ini_options(const std::vector<std::string>& args, std::size_t first) {
  IniTarget target;
  for (std::size_t i = first; i < args.size(); ++i) {
    if ((args[i] == "--file" || args[i] == "--section") && i + 1 < args.size()) {
      (args[i] == "--file" ? target.file : target.section) = to_ansi(args[i + 1]);
      ++i;
    } else {
      throw UsageError("unexpected argument '" + args[i] + "'");
    }
  }
  return target;
}

bool file_exists(const std::string& windows_path) {
  return GetFileAttributesA(windows_path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ini_get(const IniTarget& target, const std::string& key) {
  char value[TX_SETTING_BUFFER] = {};
  GetPrivateProfileStringA(target.section.c_str(), key.c_str(), "", value, sizeof value, target.file.c_str());
  return value;
}

void print_lookups() {
  DWORD level = 0;
  ReadRegistryDword("level", level);
  std::printf("hospital identifier: \"%s\"\n", to_utf8(LookupHospitalId()).c_str());
  std::printf("chart code:          %d\n", LookupChartCode());
  std::printf("log level mask:      0x%08lX%s\n", static_cast<unsigned long>(level ? level : 0x1003Fu),
              level ? "" : " (default: \"level\" missing or 0)");
}

void show() {
  const platform::Machine& machine = platform::Machine::current();
  const auto& s = machine.settings();
  std::printf("machine folder:      %s\n", machine.root().c_str());
  std::printf("computer name:       %s\n", s.computer_name.c_str());
  std::printf("user name:           %s\n", s.user_name.c_str());
  std::printf("code page:           %u\n", s.code_page);
  std::printf("64-bit Windows:      %s\n", s.windows64 ? "yes" : "no");
  std::printf("\nHKEY_CURRENT_USER\\%s\n", TX_REGISTRY_KEY);
  ScopedKey key = open_product_key(false);
  if (!key) std::printf("  (key missing)\n");
  for (const auto& known : kKnownValues) {
    auto text = reg_describe(key.get(), known[0]);
    std::printf("  %-12s %s\n", known[0], text ? text->c_str() : "(missing)");
  }
  IniTarget config;
  std::printf("\n%s [%s]%s\n", config.file.c_str(), config.section.c_str(),
              file_exists(config.file) ? "" : "  (file missing)");
  for (const char* k : kConfigKeys) std::printf("  %-15s \"%s\"\n", k, to_utf8(ini_get(config, k)).c_str());
  std::printf("\nas the controller reads them\n");
  print_lookups();
}

int run(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError("missing command");
  const std::string& command = args[0];
  auto need = [&](std::size_t count) {
    if (args.size() < count) throw UsageError("missing arguments for '" + command + "'");
  };
  if (command == "init") {
    std::printf("%s\n", platform::Machine::current().root().c_str());
  } else if (command == "show") {
    show();
  } else if (command == "lookup") {
    print_lookups();
  } else if (command == "path") {
    need(2);
    DWORD error = 0;
    auto host = platform::host_path(to_ansi(args[1]), &error);
    if (!host) throw Failure(windows_error("mapping the path", error));
    std::printf("%s\n", host->c_str());
  } else if (command == "reg") {
    need(3);
    const std::string& name = args[2];
    if (args[1] == "set") {
      need(5);
      if (args.size() > 5) throw UsageError("too many arguments for 'reg set'");
      reg_set(name, args[3], args[4]);
    } else if (args[1] == "get") {
      auto text = reg_describe(open_product_key(false).get(), name);
      if (!text) throw Failure("value '" + name + "' is not set");
      std::printf("%s\n", text->c_str());
    } else if (args[1] == "delete") {
      ScopedKey key = open_product_key(false);
      LSTATUS status = key ? RegDeleteValueA(key.get(), name.c_str()) : ERROR_FILE_NOT_FOUND;
      if (status != ERROR_SUCCESS) throw Failure(windows_error("deleting the value", static_cast<DWORD>(status)));
    } else {
      throw UsageError("unknown reg command '" + args[1] + "'");
    }
  } else if (command == "ini") {
    need(3);
    const std::string key = to_ansi(args[2]);
    if (args[1] == "set") {
      need(4);
      IniTarget target = parse_ini_options(args, 4);
      std::string value = to_ansi(args[3]);
      CreateDirectoryPath(target.file.c_str());  // the file's folder, as an operator expects
      if (!WritePrivateProfileStringA(target.section.c_str(), key.c_str(), value.c_str(), target.file.c_str())) {
        throw Failure(windows_error("writing the settings file", GetLastError()));
      }
    } else if (args[1] == "get" || args[1] == "delete") {
      IniTarget target = parse_ini_options(args, 3);
      if (!file_exists(target.file)) throw Failure("settings file " + to_utf8(target.file) + " does not exist");
      if (args[1] == "get") {
        std::printf("%s\n", to_utf8(ini_get(target, key)).c_str());
      } else if (!WritePrivateProfileStringA(target.section.c_str(), key.c_str(), nullptr, target.file.c_str())) {
        throw Failure(windows_error("writing the settings file", GetLastError()));
      }
    } else {
      throw UsageError("unknown ini command '" + args[1] + "'");
    }
  } else {
    throw UsageError("unknown command '" + command + "'");
  }
  return 0;
}

constexpr const char* kUsage =
    "usage: txmachine init | show | lookup | path WINDOWS-PATH\n"
    "       txmachine reg set NAME dword|sz VALUE | reg get NAME | reg delete NAME\n"
    "       txmachine ini set KEY VALUE | ini get KEY | ini delete KEY   [--file PATH] [--section NAME]\n"
    "The machine folder is $TX_MACHINE, or ~/.txmachine.\n";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return run(args);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "txmachine: %s\n%s", e.what(), kUsage);
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "txmachine: %s\n", e.what());
    return 1;
  }
}
