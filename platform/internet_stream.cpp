#include "platform/internet_stream.h"

#include <strings.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/errors.h"
#include "platform/internet.h"
#include "platform/internet_errors.h"
#include "platform/internet_hosts.h"
#include "platform/internet_trust.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// libcurl's receive size, and so the most that waits here besides the caller's buffer: big
// enough that a fast loopback transfer is not held back by system calls.
constexpr long kChunkSize = 64 * 1024;

bool is_redirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string url_part(CURLU* url, CURLUPart part, unsigned flags = 0) {
  char* text = nullptr;
  if (curl().url_get(url, part, &text, flags) != CURLUE_OK || !text) return {};
  std::string result(text);
  curl().free(text);
  return result;
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

// The error for a URL that libcurl's parser refuses: a text without "scheme:" has no scheme
// WinINet knows, anything else is a malformed URL.
DWORD parse_error(const std::string& url) {
  std::size_t colon = url.find(':');
  bool has_scheme = colon != std::string::npos && colon > 0 &&
                    std::all_of(url.begin(), url.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
                      return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                             c == '+' || c == '-' || c == '.';
                    });
  return has_scheme ? ERROR_INTERNET_INVALID_URL : ERROR_INTERNET_UNRECOGNIZED_SCHEME;
}

}  // namespace

UrlStream::~UrlStream() { stop(); }

bool UrlStream::open(const std::string& url, const RequestSettings& settings, DWORD* error) {
  if (!curl_) {
    *error = ERROR_MOD_NOT_FOUND;
    return false;
  }
  settings_ = settings;
  url_.reset(curl().url());
  multi_.reset(curl().multi_init());
  if (!url_ || !multi_) {
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  if (curl().url_set(url_.get(), CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
    *error = parse_error(url);
    return false;
  }
  std::string scheme = lower(url_part(url_.get(), CURLUPART_SCHEME));
  if (scheme != "http" && scheme != "https") {
    *error = ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    return false;
  }
  for (int redirects = 0;; ++redirects) {
    if (!start(error)) return false;
    DWORD idle = settings_.connect_timeout_ms + settings_.receive_timeout_ms;
    if (!run(Until::kHeaders, idle, error)) return false;
    if (!headers_done_) {
      *error = wininet_error_from_curl(result_ == CURLE_OK ? CURLE_GOT_NOTHING : result_, easy_.get());
      return false;
    }
    if (!redirecting_) return true;
    if (redirects == kMaxRedirects) {
      *error = ERROR_HTTP_REDIRECT_FAILED;
      return false;
    }
    if (!next_location(error)) return false;
  }
}

bool UrlStream::next_location(DWORD* error) {
  bool was_https = https_;
  // Setting a relative reference on the parsed URL resolves it against that URL.
  if (curl().url_set(url_.get(), CURLUPART_URL, location_.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
    *error = ERROR_HTTP_REDIRECT_FAILED;
    return false;
  }
  std::string scheme = lower(url_part(url_.get(), CURLUPART_SCHEME));
  if (scheme != "http" && scheme != "https") {
    *error = ERROR_HTTP_REDIRECT_FAILED;
    return false;
  }
  if (was_https && scheme == "http" && !(settings_.flags & INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP)) {
    *error = ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR;
    return false;
  }
  return true;
}

bool UrlStream::start(DWORD* error) {
  stop();
  headers_done_ = redirecting_ = done_ = paused_ = false;
  location_.clear();
  status_ = 0;
  result_ = CURLE_OK;
  pending_.clear();
  pending_offset_ = 0;

  std::string full = url_part(url_.get(), CURLUPART_URL);
  std::string host = url_part(url_.get(), CURLUPART_HOST);
  std::string port = url_part(url_.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
  https_ = lower(url_part(url_.get(), CURLUPART_SCHEME)) == "https";

  easy_.reset(curl().easy_init());
  if (!easy_) {
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  CURL* e = easy_.get();
  // Each hop's host is looked up in the hosts file, so a redirect to another name that the
  // file maps lands where Windows would send it.
  if (!host.empty() && host.front() != '[') {
    if (auto address = hosts_file_address(host)) {
      std::string target = address->find(':') != std::string::npos ? "[" + *address + "]" : *address;
      resolve_.reset(curl().slist_append(nullptr, (host + ":" + port + ":" + target).c_str()));
      curl().easy_setopt(e, CURLOPT_RESOLVE, resolve_.get());
    }
  }
  curl().easy_setopt(e, CURLOPT_URL, full.c_str());
  curl().easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  curl().easy_setopt(e, CURLOPT_PROXY, "");  // direct access: the host's proxy variables do not apply
  curl().easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl().easy_setopt(e, CURLOPT_BUFFERSIZE, kChunkSize);
  curl().easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
  curl().easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings_.connect_timeout_ms));
  if (!settings_.user_agent.empty()) curl().easy_setopt(e, CURLOPT_USERAGENT, settings_.user_agent.c_str());
  curl().easy_setopt(e, CURLOPT_HEADERFUNCTION, &UrlStream::on_header);
  curl().easy_setopt(e, CURLOPT_HEADERDATA, this);
  curl().easy_setopt(e, CURLOPT_WRITEFUNCTION, &UrlStream::on_body);
  curl().easy_setopt(e, CURLOPT_WRITEDATA, this);
  if (https_) {
    char* system_bundle = nullptr;
    curl().easy_getinfo(e, CURLINFO_CAINFO, &system_bundle);
    ca_bundle_ = machine_ca_bundle(system_bundle ? system_bundle : "");
    if (!ca_bundle_.empty()) {
      curl_blob blob{ca_bundle_.data(), ca_bundle_.size(), CURL_BLOB_NOCOPY};
      curl().easy_setopt(e, CURLOPT_CAINFO_BLOB, &blob);
    }
  }
  if (curl().multi_add_handle(multi_.get(), e) != CURLM_OK) {
    *error = ERROR_INTERNET_INTERNAL_ERROR;
    return false;
  }
  return true;
}

void UrlStream::stop() {
  if (easy_ && multi_) curl().multi_remove_handle(multi_.get(), easy_.get());
  easy_.reset();
  resolve_.reset();
}

std::size_t UrlStream::on_header(char* data, std::size_t size, std::size_t count, void* self_pointer) {
  auto* self = static_cast<UrlStream*>(self_pointer);
  std::size_t n = size * count;
  ++self->activity_;
  std::string_view line(data, n);
  if (line.starts_with("HTTP/")) {
    self->location_.clear();
  } else if (line == "\r\n" || line == "\n") {
    long status = 0;
    curl().easy_getinfo(self->easy_.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status >= 200) {  // 1xx interim responses are followed by the real one
      self->status_ = status;
      self->headers_done_ = true;
      self->redirecting_ = is_redirect(status) && !self->location_.empty() &&
                           !(self->settings_.flags & INTERNET_FLAG_NO_AUTO_REDIRECT);
    }
  } else if (line.size() > 9 && ::strncasecmp(line.data(), "location:", 9) == 0) {
    std::string_view value = line.substr(9);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    while (!value.empty() && (value.back() == '\r' || value.back() == '\n' || value.back() == ' ')) {
      value.remove_suffix(1);
    }
    self->location_ = std::string(value);
  }
  return n;
}

std::size_t UrlStream::on_body(char* data, std::size_t size, std::size_t count, void* self_pointer) {
  auto* self = static_cast<UrlStream*>(self_pointer);
  std::size_t n = size * count;
  if (self->redirecting_) return n;  // the body of a redirect is never shown
  if (self->pending_offset_ < self->pending_.size()) {
    self->paused_ = true;  // libcurl keeps the chunk and hands it over again on resume
    return CURL_WRITEFUNC_PAUSE;
  }
  ++self->activity_;
  std::size_t direct = std::min(n, self->room_);
  if (direct) {
    std::memcpy(self->dest_, data, direct);
    self->dest_ += direct;
    self->room_ -= direct;
  }
  self->pending_.assign(data + direct, data + n);
  self->pending_offset_ = 0;
  return n;
}

bool UrlStream::run(Until until, DWORD idle_ms, DWORD* error) {
  auto satisfied = [&] { return until == Until::kHeaders ? headers_done_ : room_ == 0; };
  std::uint64_t seen = activity_;
  auto last_activity = Clock::now();
  for (;;) {
    int running = 0;
    if (curl().multi_perform(multi_.get(), &running) != CURLM_OK) {
      *error = ERROR_INTERNET_INTERNAL_ERROR;
      return false;
    }
    int queued = 0;
    while (CURLMsg* message = curl().multi_info_read(multi_.get(), &queued)) {
      if (message->msg == CURLMSG_DONE && message->easy_handle == easy_.get()) {
        done_ = true;
        result_ = message->data.result;
      }
    }
    if (satisfied() || done_) return true;
    auto now = Clock::now();
    if (activity_ != seen) {
      seen = activity_;
      last_activity = now;
    }
    auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(now - last_activity).count();
    if (idle >= static_cast<long long>(idle_ms)) {
      *error = ERROR_INTERNET_TIMEOUT;
      return false;
    }
    int wait = static_cast<int>(std::min<long long>(idle_ms - idle, 1000));
    if (curl().multi_poll(multi_.get(), nullptr, 0, wait, nullptr) != CURLM_OK) {
      *error = ERROR_INTERNET_INTERNAL_ERROR;
      return false;
    }
  }
}

bool UrlStream::read(char* buffer, std::size_t size, std::size_t* got, DWORD* error) {
  *got = 0;
  if (failure_) {
    *error = failure_;
    return false;
  }
  std::size_t from_pending = std::min(size, pending_.size() - pending_offset_);
  // An empty pending vector may have no storage at all, and memcpy takes no null source.
  if (from_pending > 0) std::memcpy(buffer, pending_.data() + pending_offset_, from_pending);
  pending_offset_ += from_pending;
  dest_ = buffer + from_pending;
  room_ = size - from_pending;
  DWORD failure = 0;
  while (room_ > 0 && !done_) {
    if (paused_) {
      paused_ = false;
      // Resuming hands the held chunk to on_body at once, which may fill the buffer or pause again.
      if (curl().easy_pause(easy_.get(), CURLPAUSE_CONT) != CURLE_OK) {
        failure = ERROR_INTERNET_INTERNAL_ERROR;
        break;
      }
      if (room_ == 0) break;
    }
    if (!run(Until::kRoom, settings_.receive_timeout_ms, &failure)) break;
  }
  *got = size - room_;
  dest_ = nullptr;
  room_ = 0;
  if (!failure && done_ && result_ != CURLE_OK && pending_offset_ == pending_.size()) {
    failure = wininet_error_from_curl(result_, easy_.get());
  }
  if (failure) {
    failure_ = failure;
    // Whatever arrived before the failure is still the caller's; the error comes with the next read.
    if (*got > 0) return true;
    *error = failure;
    return false;
  }
  return true;
}

}  // namespace platform
