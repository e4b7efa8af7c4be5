// One HTTP PUT through WinINet with its body streamed from a std::istream. Names resolve as
// Windows resolves them (the system's hosts file first), so the request goes to the host by
// name.
#include "platform/win32.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "aws/src/http_transport.h"

namespace txaws {

namespace {

constexpr std::size_t kMaxAnswerBody = 64 * 1024;
constexpr std::size_t kPieceSize = 256 * 1024;

struct InternetCloser {
  void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using ScopedInternet = std::unique_ptr<void, InternetCloser>;

// The path and query of an absolute URL: what follows its authority.
std::string path_of(const std::string& url) {
  std::size_t authority = url.find("://");
  std::size_t path = url.find('/', authority == std::string::npos ? 0 : authority + 3);
  return path == std::string::npos ? "/" : url.substr(path);
}

std::string query_text(HINTERNET request, DWORD what) {
  std::vector<char> text(256);
  for (;;) {
    DWORD size = static_cast<DWORD>(text.size());
    if (HttpQueryInfoA(request, what, text.data(), &size, nullptr)) return std::string(text.data(), size);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
    text.resize(size + 1);
  }
}

void fail(TransportResult& result, DWORD error) {
  result.failure_message = "WinINet error " + std::to_string(error);
  if (error == ERROR_INTERNET_TIMEOUT) {
    result.failure = Aws::Client::CoreErrors::REQUEST_TIMEOUT;
    result.failure_name = "RequestTimeout";
  } else {
    result.failure = Aws::Client::CoreErrors::NETWORK_CONNECTION;
    result.failure_name = "NetworkConnection";
  }
}

// Sends the body and ends the request; false with the last error set when WinINet failed.
// WinINet asks for the whole request again (ERROR_INTERNET_FORCE_RETRY) when a connection it
// reused turned out closed: the body is rewound and sent once more.
bool send_body(HINTERNET request, const TransportRequest& outgoing, std::string_view headers, TransportResult& result,
               std::uint64_t& sent) {
  std::vector<char> piece(kPieceSize);
  for (int attempt = 0;; ++attempt) {
    INTERNET_BUFFERSA buffers{};
    buffers.dwStructSize = sizeof buffers;
    buffers.lpcszHeader = headers.data();
    buffers.dwHeadersLength = static_cast<DWORD>(headers.size());
    buffers.dwHeadersTotal = buffers.dwHeadersLength;
    buffers.dwBufferTotal = static_cast<DWORD>(outgoing.length);
    if (!HttpSendRequestExA(request, &buffers, nullptr, 0, 0)) return false;
    std::istream& body = *outgoing.body;
    body.clear();
    body.seekg(0, std::ios_base::beg);
    sent = 0;
    while (sent < outgoing.length) {
      auto wanted = static_cast<std::streamsize>(std::min<std::uint64_t>(outgoing.length - sent, piece.size()));
      body.read(piece.data(), wanted);
      auto got = static_cast<DWORD>(body.gcount());
      if (got == 0) {
        // A body shorter than its declared length: stop rather than send a short object.
        result.body_failed = true;
        return false;
      }
      DWORD written = 0;
      if (!InternetWriteFile(request, piece.data(), got, &written) || written != got) return false;
      sent += got;
    }
    if (HttpEndRequestA(request, nullptr, 0, 0)) return true;
    if (GetLastError() != ERROR_INTERNET_FORCE_RETRY || attempt > 0) return false;
  }
}

}  // namespace

TransportResult send_put(const TransportRequest& request) {
  TransportResult result;
  if (request.length > 0xFFFFFFFFull) {
    // HttpSendRequestEx announces the body's size in a DWORD.
    result.failure = Aws::Client::CoreErrors::INTERNAL_FAILURE;
    result.failure_name = "BodyTooLarge";
    result.failure_message = "WinINet sends at most 4 GiB in one request";
    return result;
  }
  ScopedInternet session(InternetOpenA(request.user_agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (!session) {
    fail(result, GetLastError());
    return result;
  }
  DWORD connect_timeout = static_cast<DWORD>(request.connect_timeout_ms);
  DWORD request_timeout = static_cast<DWORD>(request.request_timeout_ms);
  InternetSetOptionA(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connect_timeout, sizeof connect_timeout);
  InternetSetOptionA(session.get(), INTERNET_OPTION_SEND_TIMEOUT, &request_timeout, sizeof request_timeout);
  InternetSetOptionA(session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &request_timeout, sizeof request_timeout);

  ScopedInternet connection(InternetConnectA(session.get(), request.host.c_str(),
                                             static_cast<INTERNET_PORT>(request.port), nullptr, nullptr,
                                             INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) {
    fail(result, GetLastError());
    return result;
  }
  bool https = request.url.rfind("https://", 0) == 0;
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI |
                INTERNET_FLAG_NO_AUTH | INTERNET_FLAG_KEEP_CONNECTION;
  if (https) flags |= INTERNET_FLAG_SECURE;
  ScopedInternet http(HttpOpenRequestA(connection.get(), "PUT", path_of(request.url).c_str(), nullptr, nullptr,
                                       nullptr, flags, 0));
  if (!http) {
    fail(result, GetLastError());
    return result;
  }
  if (https && !request.verify_ssl) {
    DWORD security = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                     SECURITY_FLAG_IGNORE_CERT_DATE_INVALID | SECURITY_FLAG_IGNORE_REVOCATION;
    InternetSetOptionA(http.get(), INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof security);
  }
  // WinINet sends Host (from the connection) and Content-Length (from the announced size)
  // itself; their values are the ones that were signed.
  std::string headers;
  for (const auto& [name, value] : request.headers) {
    if (name == "Host" || name == "Content-Length") continue;
    headers += name + ": " + value + "\r\n";
  }

  std::uint64_t sent = 0;
  if (!send_body(http.get(), request, headers, result, sent)) {
    DWORD error = GetLastError();
    if (result.body_failed) {
      result.failure = Aws::Client::CoreErrors::INTERNAL_FAILURE;
      result.failure_name = "BodyStreamError";
      result.failure_message = "The body stream ended after " + std::to_string(sent) + " of " +
                               std::to_string(request.length) + " bytes";
    } else {
      fail(result, error);
    }
    return result;
  }

  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoA(http.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
    fail(result, GetLastError());
    return result;
  }
  result.answered = true;
  result.status = static_cast<long>(status);
  result.status_line =
      query_text(http.get(), HTTP_QUERY_VERSION) + " " + std::to_string(status) + " " +
      query_text(http.get(), HTTP_QUERY_STATUS_TEXT);
  result.etag = query_text(http.get(), HTTP_QUERY_ETAG);
  std::vector<char> piece(16 * 1024);
  for (;;) {
    DWORD got = 0;
    if (!InternetReadFile(http.get(), piece.data(), static_cast<DWORD>(piece.size()), &got) || got == 0) break;
    std::size_t room = kMaxAnswerBody - std::min(kMaxAnswerBody, result.body.size());
    result.body.append(piece.data(), std::min<std::size_t>(room, got));
  }
  return result;
}

}  // namespace txaws
