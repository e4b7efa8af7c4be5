#include "platform/registry.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/codepage.h"
#include "platform/errors.h"
#include "platform/handle_table.h"
#include "platform/machine.h"
#include "platform/reg_hive.h"
#include "platform/scoped_handle.h"

namespace platform {

namespace {

// An opened key: its path and the values it saw when it was opened (or last changed by it).
class RegistryKey : public KernelObject {
 public:
  RegistryKey(std::string path, REGSAM access, RegKey snapshot)
      : path_(std::move(path)), access_(access), snapshot_(std::move(snapshot)) {}

  const std::string& path() const { return path_; }
  REGSAM access() const { return access_; }
  std::optional<RegValue> value(std::string_view name) const {
    std::lock_guard lock(mutex_);
    const RegValue* found = snapshot_.find_value(name);
    if (!found) return std::nullopt;
    return *found;
  }
  void refresh(const RegHive& hive) {
    const RegKey* key = hive.find_key(path_);
    std::lock_guard lock(mutex_);
    snapshot_.values = key ? key->values : std::vector<RegValue>();
  }

 private:
  const std::string path_;
  const REGSAM access_;
  mutable std::mutex mutex_;
  RegKey snapshot_;
};

// What an HKEY names: the current user's root, another (empty) root, or an opened key.
struct Target {
  std::shared_ptr<RegistryKey> key;
  std::string path;
  REGSAM access = KEY_ALL_ACCESS;
  bool other_root = false;
};

LSTATUS resolve(HKEY handle, Target* target) {
  if (handle == HKEY_CURRENT_USER) return ERROR_SUCCESS;
  if (handle == HKEY_CLASSES_ROOT || handle == HKEY_LOCAL_MACHINE || handle == HKEY_USERS) {
    target->other_root = true;
    return ERROR_SUCCESS;
  }
  target->key = lookup_handle_as<RegistryKey>(reinterpret_cast<HANDLE>(handle));
  if (!target->key) return ERROR_INVALID_HANDLE;
  target->path = target->key->path();
  target->access = target->key->access();
  return ERROR_SUCCESS;
}

std::string child_path(const std::string& base, LPCSTR sub_key) {
  if (!sub_key || !*sub_key) return base;
  return normalise_key_path(base + '\\' + ansi_to_utf8(sub_key));
}

std::string value_name(LPCSTR name) { return name ? ansi_to_utf8(name) : std::string(); }

constexpr REGSAM kViewFlags = KEY_WOW64_64KEY | KEY_WOW64_32KEY;

// The current user's hive has one view: either flag alone is accepted, both are a contradiction.
bool valid_view(REGSAM access) { return (access & kViewFlags) != kViewFlags; }

// The hive file's bytes; "" for a missing file. False when it exists but cannot be read.
bool read_hive_file(std::string* bytes) {
  bytes->clear();
  ScopedFd fd(::open(Machine::current().registry_hive().c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return errno == ENOENT;
  char buffer[65536];
  while (true) {
    ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes->append(buffer, static_cast<std::size_t>(got));
  }
}

// The hive as the file holds it now; a file that cannot be read holds no keys.
RegHive current_hive() {
  std::string bytes;
  if (!read_hive_file(&bytes)) return RegHive();
  return RegHive::parse(bytes);
}

// Replaces the hive file by a new one in the same folder, so a reader sees the old file or
// the new one, never a part.
bool write_hive_file(const std::string& bytes) {
  const std::string path = Machine::current().registry_hive();
  std::string temp = path + ".XXXXXX";
  ScopedFd fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (!fd) return false;
  struct stat old_file {};
  mode_t mode = ::stat(path.c_str(), &old_file) == 0 ? (old_file.st_mode & 07777) : 0644;
  bool ok = ::fchmod(fd.get(), mode) == 0;
  for (std::size_t done = 0; ok && done < bytes.size();) {
    ssize_t put = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    ok = put > 0;
    if (ok) done += static_cast<std::size_t>(put);
  }
  ok = ok && ::fsync(fd.get()) == 0;
  fd.reset();
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

// Holds the machine's registry lock: every change reads, edits and rewrites the hive under
// it. Each holder opens the lock file anew, and flock excludes other open file descriptions
// of it, so the lock serialises threads of one process as well as processes.
class HiveLock {
 public:
  bool take() {
    fd_.reset(::open((Machine::current().run_dir() + "/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd_) return false;
    while (::flock(fd_.get(), LOCK_EX) != 0) {
      if (errno != EINTR) return false;
    }
    return true;
  }

 private:
  ScopedFd fd_;
};

// Runs `change` on the hive as it is now and writes the result when it reports a change.
// The hive is left as it was when the change fails or the file cannot be written.
template <class Change>
LSTATUS change_hive(RegHive* hive, Change change) {
  HiveLock lock;
  std::string bytes;
  if (!lock.take() || !read_hive_file(&bytes)) return ERROR_REGISTRY_IO_FAILED;
  *hive = RegHive::parse(bytes);
  bool changed = false;
  LSTATUS status = change(*hive, &changed);
  if (status != ERROR_SUCCESS || !changed) return status;
  if (!write_hive_file(hive->serialise())) return ERROR_REGISTRY_IO_FAILED;
  return ERROR_SUCCESS;
}

LSTATUS open_handle(const std::string& path, REGSAM access, const RegHive& hive, PHKEY result) {
  const RegKey* key = hive.find_key(path);
  RegKey snapshot{path, key ? key->values : std::vector<RegValue>()};
  auto object = std::make_shared<RegistryKey>(path, access & ~kViewFlags, std::move(snapshot));
  *result = reinterpret_cast<HKEY>(insert_handle(std::move(object)));
  return ERROR_SUCCESS;
}

}  // namespace

}  // namespace platform

using platform::RegHive;
using platform::RegValue;
using platform::Target;

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (!platform::valid_view(access)) return ERROR_INVALID_PARAMETER;
  Target target;
  if (LSTATUS status = platform::resolve(key, &target)) return status;
  if (target.other_root) return ERROR_FILE_NOT_FOUND;
  std::string path = platform::child_path(target.path, subKey);
  RegHive hive = platform::current_hive();
  if (!path.empty() && !hive.find_key(path)) return ERROR_FILE_NOT_FOUND;
  return platform::open_handle(path, access, hive, result);
}

LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES,
                        PHKEY result, LPDWORD disposition) {
  if (!result || !subKey) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  // Volatile and backup keys have no place in a hive kept as a file.
  if (options != REG_OPTION_NON_VOLATILE || !platform::valid_view(access)) return ERROR_INVALID_PARAMETER;
  Target target;
  if (LSTATUS status = platform::resolve(key, &target)) return status;
  if (target.other_root) return ERROR_ACCESS_DENIED;
  std::string path = platform::child_path(target.path, subKey);
  bool created = false;
  RegHive hive;
  LSTATUS status = platform::change_hive(&hive, [&](RegHive& h, bool* changed) -> LSTATUS {
    if (path.empty() || h.find_key(path)) return ERROR_SUCCESS;
    if (!(target.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
    created = *changed = h.create_key(path);
    return ERROR_SUCCESS;
  });
  if (status != ERROR_SUCCESS) return status;
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return platform::open_handle(path, access, hive, result);
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  Target target;
  if (LSTATUS status = platform::resolve(key, &target)) return status;
  if (reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
  if (target.other_root) return ERROR_FILE_NOT_FOUND;
  if (!(target.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  std::string name = platform::value_name(valueName);
  std::optional<RegValue> value;
  if (target.key) {
    value = target.key->value(name);
  } else if (const platform::RegKey* root = platform::current_hive().find_key("")) {
    if (const RegValue* found = root->find_value(name)) value = *found;
  }
  if (!value) return ERROR_FILE_NOT_FOUND;
  if (platform::is_string_type(value->type)) value->data = platform::utf16le_bytes_to_ansi(value->data);
  if (type) *type = value->type;
  if (!dataSize) return ERROR_SUCCESS;
  DWORD needed = static_cast<DWORD>(value->data.size());
  if (data && *dataSize < needed) {
    *dataSize = needed;
    return ERROR_MORE_DATA;
  }
  if (data) std::memcpy(data, value->data.data(), needed);
  *dataSize = needed;
  return ERROR_SUCCESS;
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
  Target target;
  if (LSTATUS status = platform::resolve(key, &target)) return status;
  if (target.other_root) return ERROR_ACCESS_DENIED;
  if (!(target.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  if (!data && dataSize > 0) return ERROR_INVALID_PARAMETER;
  RegValue value{platform::value_name(valueName), type,
                 dataSize > 0 ? std::string(reinterpret_cast<const char*>(data), dataSize) : std::string()};
  if (platform::is_string_type(type)) {
    std::u16string wide = platform::ansi_to_utf16(value.data);
    value.data.assign(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(char16_t));
  }
  RegHive hive;
  LSTATUS status = platform::change_hive(&hive, [&](RegHive& h, bool* changed) -> LSTATUS {
    h.set_value(target.path, std::move(value));
    *changed = true;
    return ERROR_SUCCESS;
  });
  if (status == ERROR_SUCCESS && target.key) target.key->refresh(hive);
  return status;
}

LSTATUS RegDeleteValueA(HKEY key, LPCSTR valueName) {
  Target target;
  if (LSTATUS status = platform::resolve(key, &target)) return status;
  if (target.other_root) return ERROR_ACCESS_DENIED;
  if (!(target.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  std::string name = platform::value_name(valueName);
  RegHive hive;
  LSTATUS status = platform::change_hive(&hive, [&](RegHive& h, bool* changed) -> LSTATUS {
    *changed = h.delete_value(target.path, name);
    return *changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
  if (status == ERROR_SUCCESS && target.key) target.key->refresh(hive);
  return status;
}

LSTATUS RegCloseKey(HKEY key) {
  Target target;
  if (LSTATUS status = platform::resolve(key, &target)) return status;
  if (!target.key) return ERROR_SUCCESS;  // the predefined roots are never closed
  return platform::remove_handle(reinterpret_cast<HANDLE>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
