#include "platform/toolhelp.h"

#include <dirent.h>

#include <cstddef>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/handle_table.h"
#include "platform/kernel.h"
#include "platform/process_image.h"
#include "platform/scoped_handle.h"

// The documented layout, as a 64-bit Windows build has it.
static_assert(offsetof(PROCESSENTRY32, th32DefaultHeapID) == 16);
static_assert(offsetof(PROCESSENTRY32, szExeFile) == 44);
static_assert(sizeof(PROCESSENTRY32) == 304);

namespace platform {

namespace {

struct ProcessRecord {
  DWORD id = 0;
  DWORD parent_id = 0;
  DWORD threads = 0;
  LONG priority_base = 8;
  std::string exe_file;
};

struct SnapshotObject : KernelObject {
  std::vector<ProcessRecord> processes;
  std::mutex mutex;
  std::size_t next = 0;
};

// Priority class bases: idle 4, below normal 6, normal 8, above normal 10, high 13.
LONG priority_base_for_nice(long nice) {
  if (nice >= 10) return 4;
  if (nice > 0) return 6;
  if (nice == 0) return 8;
  if (nice > -10) return 10;
  return 13;
}

// Fields of /proc/PID/stat after the command name, which may itself hold spaces and ')'.
bool read_stat(pid_t pid, ProcessRecord* record) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t close = text.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream fields(text.substr(close + 1));
  std::vector<std::string> f;
  for (std::string field; fields >> field;) f.push_back(field);
  // f[0] is field 3 (state): ppid is field 4, nice 19, num_threads 20.
  if (f.size() < 18) return false;
  record->parent_id = static_cast<DWORD>(std::stoul(f[1]));
  record->priority_base = priority_base_for_nice(std::stol(f[16]));
  record->threads = static_cast<DWORD>(std::stoul(f[17]));
  return true;
}

std::vector<ProcessRecord> list_processes() {
  std::vector<ProcessRecord> processes;
  ScopedDir proc(::opendir("/proc"));
  if (!proc) return processes;
  while (dirent* entry = ::readdir(proc.get())) {
    char* end = nullptr;
    unsigned long pid = std::strtoul(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0') continue;
    ProcessRecord record;
    record.id = static_cast<DWORD>(pid);
    if (!read_stat(static_cast<pid_t>(pid), &record)) continue;  // ended meanwhile
    record.exe_file = process_image_name(static_cast<pid_t>(pid));
    if (record.exe_file.empty()) continue;
    processes.push_back(std::move(record));
  }
  return processes;
}

void fill_entry(const ProcessRecord& record, LPPROCESSENTRY32 entry) {
  DWORD size = entry->dwSize;
  std::memset(entry, 0, sizeof *entry);
  entry->dwSize = size;
  entry->th32ProcessID = record.id;
  entry->cntThreads = record.threads;
  entry->th32ParentProcessID = record.parent_id;
  entry->pcPriClassBase = record.priority_base;
  std::size_t length = std::min(record.exe_file.size(), sizeof entry->szExeFile - 1);
  std::memcpy(entry->szExeFile, record.exe_file.data(), length);
}

BOOL walk(HANDLE snapshot, LPPROCESSENTRY32 entry, bool from_start) {
  auto object = lookup_handle_as<SnapshotObject>(snapshot);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!entry || entry->dwSize < sizeof(PROCESSENTRY32)) {
    SetLastError(ERROR_BAD_LENGTH);
    return FALSE;
  }
  std::lock_guard lock(object->mutex);
  if (from_start) object->next = 0;
  if (object->next >= object->processes.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  fill_entry(object->processes[object->next++], entry);
  return TRUE;
}

}  // namespace

}  // namespace platform

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD) {
  if ((flags & TH32CS_SNAPPROCESS) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  auto snapshot = std::make_shared<platform::SnapshotObject>();
  snapshot->processes = platform::list_processes();
  return platform::insert_handle(std::move(snapshot));
}

BOOL Process32First(HANDLE snapshot, LPPROCESSENTRY32 entry) { return platform::walk(snapshot, entry, true); }

BOOL Process32Next(HANDLE snapshot, LPPROCESSENTRY32 entry) { return platform::walk(snapshot, entry, false); }
