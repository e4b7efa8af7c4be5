// kernel32 synchronisation and threads: critical sections, slim reader/writer locks, named
// mutexes of the machine's session, CreateThread and waiting for a thread's end.
#include <fcntl.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/handle_table.h"
#include "platform/kernel.h"
#include "platform/machine.h"
#include "platform/scoped_handle.h"
#include "platform/share_lock.h"

namespace platform {

namespace {

struct MutexObject : KernelObject {
  ScopedFd presence;  // holds the session-wide name for as long as this handle is open
};

struct ThreadObject : KernelObject {
  std::mutex mutex;
  std::condition_variable ended_signal;
  bool ended = false;
  LPTHREAD_START_ROUTINE start = nullptr;
  LPVOID parameter = nullptr;
  DWORD id = 0;
  std::mutex id_mutex;
  std::condition_variable id_signal;
};

// Named objects live as files in the run folder; names are case-sensitive, so each byte
// outside a safe set is written as %XX to keep the file name exact and flat.
std::string object_file(std::string_view name) {
  if (name.substr(0, 6) == "Local\\") name.remove_prefix(6);
  std::string file = Machine::current().run_dir() + "/object-";
  if (name.substr(0, 7) == "Global\\") {
    file += "global-";
    name.remove_prefix(7);
  }
  static const char hex[] = "0123456789ABCDEF";
  for (unsigned char c : name) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-') {
      file += static_cast<char>(c);
    } else {
      file += '%';
      file += hex[c >> 4];
      file += hex[c & 15];
    }
  }
  return file;
}

void* thread_main(void* raw) {
  auto* holder = static_cast<std::shared_ptr<ThreadObject>*>(raw);
  std::shared_ptr<ThreadObject> thread = std::move(*holder);
  delete holder;
  {
    std::lock_guard lock(thread->id_mutex);
    thread->id = GetCurrentThreadId();
  }
  thread->id_signal.notify_all();
  thread->start(thread->parameter);
  {
    std::lock_guard lock(thread->mutex);
    thread->ended = true;
  }
  thread->ended_signal.notify_all();
  return nullptr;
}

}  // namespace

}  // namespace platform

void InitializeCriticalSection(LPCRITICAL_SECTION section) { section->impl = new std::recursive_mutex; }

void EnterCriticalSection(LPCRITICAL_SECTION section) { static_cast<std::recursive_mutex*>(section->impl)->lock(); }

void LeaveCriticalSection(LPCRITICAL_SECTION section) { static_cast<std::recursive_mutex*>(section->impl)->unlock(); }

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
  delete static_cast<std::recursive_mutex*>(section->impl);
  section->impl = nullptr;
}

void AcquireSRWLockExclusive(PSRWLOCK lock) { pthread_rwlock_wrlock(&lock->lock); }

void ReleaseSRWLockExclusive(PSRWLOCK lock) { pthread_rwlock_unlock(&lock->lock); }

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR name) {
  auto object = std::make_shared<platform::MutexObject>();
  if (!name) {
    SetLastError(ERROR_SUCCESS);
    return platform::insert_handle(std::move(object));
  }
  std::string file = platform::object_file(name);
  object->presence.reset(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!object->presence) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  bool existed;
  {
    platform::ShareGuard guard(object->presence.get());
    // The name exists while any handle holds its presence lock.
    existed = !platform::share_compatible(object->presence.get(), 0, 0);
    if (!platform::take_share_locks(object->presence.get(), platform::kAccessRead,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return nullptr;
    }
  }
  HANDLE handle = platform::insert_handle(std::move(object));
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD, LPDWORD threadId) {
  auto thread = std::make_shared<platform::ThreadObject>();
  thread->start = start;
  thread->parameter = parameter;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  if (stackSize) pthread_attr_setstacksize(&attributes, stackSize < 65536 ? 65536 : stackSize);
  auto* holder = new std::shared_ptr<platform::ThreadObject>(thread);
  pthread_t id;
  int rc = pthread_create(&id, &attributes, platform::thread_main, holder);
  pthread_attr_destroy(&attributes);
  if (rc != 0) {
    delete holder;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  {
    std::unique_lock lock(thread->id_mutex);
    thread->id_signal.wait(lock, [&] { return thread->id != 0; });
  }
  if (threadId) *threadId = thread->id;
  return platform::insert_handle(std::move(thread));
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  auto thread = platform::lookup_handle_as<platform::ThreadObject>(handle);
  if (!thread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  std::unique_lock lock(thread->mutex);
  auto ended = [&] { return thread->ended; };
  if (milliseconds == INFINITE) {
    thread->ended_signal.wait(lock, ended);
    return WAIT_OBJECT_0;
  }
  return thread->ended_signal.wait_for(lock, std::chrono::milliseconds(milliseconds), ended) ? WAIT_OBJECT_0
                                                                                               : WAIT_TIMEOUT;
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(::syscall(SYS_gettid)); }
