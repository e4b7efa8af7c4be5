// InternetOpenA, InternetOpenUrlA, InternetReadFile, InternetSetOptionA, InternetCloseHandle,
// HttpQueryInfoA.
#include "platform/internet.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/internet_stream.h"
#include "platform/kernel.h"

namespace platform {

namespace {

// Internet handles are not kernel handles (CloseHandle does not take them), so they have a
// table of their own. Values are never reused, so a stale handle is refused, not followed.
struct InternetObject {
  virtual ~InternetObject() = default;
  std::mutex mutex;
};

// A session keeps libcurl loaded between the URLs it opens.
struct Session : InternetObject {
  CurlLease curl;
  RequestSettings settings;
};

struct UrlFile : InternetObject {
  UrlStream stream;
};

class InternetHandles {
 public:
  HINTERNET insert(std::shared_ptr<InternetObject> object) {
    std::lock_guard lock(mutex_);
    next_ += 4;
    objects_[next_] = std::move(object);
    return reinterpret_cast<HINTERNET>(next_);
  }

  std::shared_ptr<InternetObject> find(HINTERNET handle) {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == objects_.end() ? nullptr : it->second;
  }

  bool remove(HINTERNET handle) {
    std::shared_ptr<InternetObject> doomed;
    std::lock_guard lock(mutex_);
    auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == objects_.end()) return false;
    doomed = std::move(it->second);
    objects_.erase(it);
    return true;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<std::uintptr_t, std::shared_ptr<InternetObject>> objects_;
  std::uintptr_t next_ = 0xCC0000;
};

InternetHandles& handles() {
  static InternetHandles* table = new InternetHandles;  // never destroyed: threads may close during exit
  return *table;
}

// The object a handle names if it is a T; null with the last error set otherwise.
template <class T>
std::shared_ptr<T> lookup(HINTERNET handle) {
  std::shared_ptr<InternetObject> object = handles().find(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  auto typed = std::dynamic_pointer_cast<T>(object);
  if (!typed) SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  return typed;
}

constexpr DWORD kNoEffectFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                                 INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_EXISTING_CONNECT |
                                 INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
constexpr DWORD kHonouredFlags = INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP;

}  // namespace

}  // namespace platform

using platform::lookup;

HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR, LPCSTR, DWORD flags) {
  if (flags != 0 || (accessType != INTERNET_OPEN_TYPE_DIRECT && accessType != INTERNET_OPEN_TYPE_PRECONFIG &&
                     accessType != INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto session = std::make_shared<platform::Session>();
  if (!session->curl) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (agent) session->settings.user_agent = agent;
  return platform::handles().insert(std::move(session));
}

HINTERNET InternetOpenUrlA(HINTERNET internet, LPCSTR url, LPCSTR headers, DWORD headersLength, DWORD flags,
                           DWORD_PTR) {
  auto session = lookup<platform::Session>(internet);
  if (!session) return nullptr;
  if (!url || (headers && headersLength != 0 && *headers) ||
      (flags & ~(platform::kNoEffectFlags | platform::kHonouredFlags))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  platform::RequestSettings settings;
  {
    std::lock_guard lock(session->mutex);
    settings = session->settings;
  }
  settings.flags = flags & platform::kHonouredFlags;
  auto file = std::make_shared<platform::UrlFile>();
  DWORD error = 0;
  if (!file->stream.open(url, settings, &error)) {
    SetLastError(error);
    return nullptr;
  }
  return platform::handles().insert(std::move(file));
}

BOOL InternetReadFile(HINTERNET handle, LPVOID buffer, DWORD toRead, LPDWORD read) {
  auto file = lookup<platform::UrlFile>(handle);
  if (!file) return FALSE;
  if (!read || (!buffer && toRead != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard lock(file->mutex);
  std::size_t got = 0;
  DWORD error = 0;
  bool ok = file->stream.read(static_cast<char*>(buffer), toRead, &got, &error);
  *read = static_cast<DWORD>(got);
  if (!ok) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length) {
  auto object = platform::handles().find(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (option != INTERNET_OPTION_CONNECT_TIMEOUT && option != INTERNET_OPTION_RECEIVE_TIMEOUT) {
    SetLastError(ERROR_INTERNET_INVALID_OPTION);
    return FALSE;
  }
  if (!buffer || length != sizeof(DWORD)) {
    SetLastError(ERROR_INTERNET_BAD_OPTION_LENGTH);
    return FALSE;
  }
  DWORD value;
  std::memcpy(&value, buffer, sizeof value);
  std::lock_guard lock(object->mutex);
  if (auto* session = dynamic_cast<platform::Session*>(object.get())) {
    (option == INTERNET_OPTION_CONNECT_TIMEOUT ? session->settings.connect_timeout_ms
                                               : session->settings.receive_timeout_ms) = value;
    return TRUE;
  }
  if (option == INTERNET_OPTION_CONNECT_TIMEOUT) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);  // the connection of an open URL is made already
    return FALSE;
  }
  static_cast<platform::UrlFile*>(object.get())->stream.set_receive_timeout(value);
  return TRUE;
}

BOOL InternetCloseHandle(HINTERNET handle) {
  if (!platform::handles().remove(handle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength, LPDWORD index) {
  auto file = lookup<platform::UrlFile>(request);
  if (!file) return FALSE;
  if (!bufferLength || (infoLevel & ~HTTP_QUERY_FLAG_NUMBER) != HTTP_QUERY_STATUS_CODE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (index && *index != 0) {  // the status line occurs once
    SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
    return FALSE;
  }
  long status;
  {
    std::lock_guard lock(file->mutex);
    status = file->stream.status();
  }
  DWORD capacity = buffer ? *bufferLength : 0;
  if (infoLevel & HTTP_QUERY_FLAG_NUMBER) {
    if (capacity < sizeof(DWORD)) {
      *bufferLength = sizeof(DWORD);
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    DWORD value = static_cast<DWORD>(status);
    std::memcpy(buffer, &value, sizeof value);
    *bufferLength = sizeof(DWORD);
  } else {
    char text[16];
    int length = std::snprintf(text, sizeof text, "%ld", status);
    DWORD needed = static_cast<DWORD>(length) + 1;
    if (capacity < needed) {
      *bufferLength = needed;
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    std::memcpy(buffer, text, needed);
    *bufferLength = static_cast<DWORD>(length);
  }
  if (index) *index = 1;
  return TRUE;
}
