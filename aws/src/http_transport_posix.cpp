#include "aws/src/http_transport.h"

#include <algorithm>

#include "platform/curl_handles.h"
#include "platform/internet_hosts.h"

namespace txaws {

namespace {

constexpr std::size_t kMaxAnswerBody = 64 * 1024;
// libcurl's largest upload buffer: fewer, larger reads from the body stream.
constexpr long kUploadBufferSize = 2 * 1024 * 1024;

struct Transfer {
  const TransportRequest* request = nullptr;
  TransportResult* result = nullptr;
  std::uint64_t sent = 0;
};

std::size_t read_body(char* buffer, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  std::uint64_t left = transfer->request->length - transfer->sent;
  std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(left, size * count));
  if (wanted == 0) return 0;
  std::istream& body = *transfer->request->body;
  body.read(buffer, static_cast<std::streamsize>(wanted));
  auto got = static_cast<std::size_t>(body.gcount());
  if (got == 0) {
    // A body shorter than its declared length: stop rather than send a short object.
    transfer->result->body_failed = true;
    return CURL_READFUNC_ABORT;
  }
  transfer->sent += got;
  return got;
}

// libcurl rewinds the body when it must send it again on the same request (for example when
// a connection it reused turned out closed).
int seek_body(void* user, curl_off_t offset, int origin) {
  auto* transfer = static_cast<Transfer*>(user);
  if (origin != SEEK_SET) return CURL_SEEKFUNC_CANTSEEK;
  std::istream& body = *transfer->request->body;
  body.clear();
  body.seekg(static_cast<std::streamoff>(offset));
  if (!body) return CURL_SEEKFUNC_FAIL;
  transfer->sent = static_cast<std::uint64_t>(offset);
  return CURL_SEEKFUNC_OK;
}

std::size_t on_answer_body(char* data, std::size_t size, std::size_t count, void* user) {
  auto* result = static_cast<TransportResult*>(user);
  std::size_t bytes = size * count;
  std::size_t room = kMaxAnswerBody - std::min(kMaxAnswerBody, result->body.size());
  result->body.append(data, std::min(room, bytes));
  return bytes;
}

std::string trimmed_line(const char* data, std::size_t bytes) {
  std::string line(data, bytes);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' ')) line.pop_back();
  return line;
}

bool starts_with_name(const std::string& line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != ':') return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != name[i]) return false;
  }
  return true;
}

std::size_t on_header(char* data, std::size_t size, std::size_t count, void* user) {
  auto* result = static_cast<TransportResult*>(user);
  std::size_t bytes = size * count;
  std::string line = trimmed_line(data, bytes);
  if (line.rfind("HTTP/", 0) == 0) {
    result->status_line = line;  // an interim 100 Continue is followed by the final status
    result->etag.clear();
  } else if (starts_with_name(line, "etag")) {
    std::size_t start = line.find_first_not_of(' ', 5);
    result->etag = start == std::string::npos ? std::string() : line.substr(start);
  }
  return bytes;
}

}  // namespace

TransportResult send_put(const TransportRequest& request) {
  TransportResult result;
  platform::CurlLease lease;  // before the handles, which it outlives
  const platform::CurlApi& curl = platform::curl();
  platform::ScopedCurlEasy easy(lease ? curl.easy_init() : nullptr);
  if (!easy) {
    result.failure = Aws::Client::CoreErrors::INTERNAL_FAILURE;
    result.failure_name = "InternalFailure";
    result.failure_message = lease ? "Cannot create a libcurl handle" : "Cannot load libcurl";
    return result;
  }
  CURL* e = easy.get();
  Transfer transfer{&request, &result, 0};
  char error_text[CURL_ERROR_SIZE] = {};

  platform::ScopedCurlSlist resolve;
  if (auto address = platform::hosts_file_address(request.host)) {
    std::string target = address->find(':') != std::string::npos ? "[" + *address + "]" : *address;
    const std::string entry = request.host + ":" + std::to_string(request.port) + ":" + target;
    resolve.reset(curl.slist_append(nullptr, entry.c_str()));
    curl.easy_setopt(e, CURLOPT_RESOLVE, resolve.get());
  }
  platform::ScopedCurlSlist headers;
  for (const auto& [name, value] : request.headers) {
    // libcurl sends Host and Content-Length itself; its values are the ones we signed.
    if (name == "Host" || name == "Content-Length") continue;
    headers.reset(curl.slist_append(headers.release(), (name + ": " + value).c_str()));
  }
  curl.easy_setopt(e, CURLOPT_URL, request.url.c_str());
  curl.easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  curl.easy_setopt(e, CURLOPT_PROXY, "");  // direct: no proxy is configured for the client
  curl.easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl.easy_setopt(e, CURLOPT_ERRORBUFFER, error_text);
  curl.easy_setopt(e, CURLOPT_HTTPHEADER, headers.get());
  if (!request.user_agent.empty()) curl.easy_setopt(e, CURLOPT_USERAGENT, request.user_agent.c_str());
  curl.easy_setopt(e, CURLOPT_UPLOAD, 1L);
  curl.easy_setopt(e, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(request.length));
  curl.easy_setopt(e, CURLOPT_UPLOAD_BUFFERSIZE, kUploadBufferSize);
  curl.easy_setopt(e, CURLOPT_READFUNCTION, &read_body);
  curl.easy_setopt(e, CURLOPT_READDATA, &transfer);
  curl.easy_setopt(e, CURLOPT_SEEKFUNCTION, &seek_body);
  curl.easy_setopt(e, CURLOPT_SEEKDATA, &transfer);
  curl.easy_setopt(e, CURLOPT_WRITEFUNCTION, &on_answer_body);
  curl.easy_setopt(e, CURLOPT_WRITEDATA, &result);
  curl.easy_setopt(e, CURLOPT_HEADERFUNCTION, &on_header);
  curl.easy_setopt(e, CURLOPT_HEADERDATA, &result);
  curl.easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, request.connect_timeout_ms);
  // The request time-out bounds a stall, not the whole transfer, so a large body may take as
  // long as it needs while it moves.
  curl.easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl.easy_setopt(e, CURLOPT_LOW_SPEED_TIME, std::max(1L, request.request_timeout_ms / 1000));
  curl.easy_setopt(e, CURLOPT_SSL_VERIFYPEER, request.verify_ssl ? 1L : 0L);
  curl.easy_setopt(e, CURLOPT_SSL_VERIFYHOST, request.verify_ssl ? 2L : 0L);
  if (!request.ca_file.empty()) curl.easy_setopt(e, CURLOPT_CAINFO, request.ca_file.c_str());

  CURLcode code = curl.easy_perform(e);
  long status = 0;
  curl.easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
  // A server may answer an error before it has read the whole body and stop reading; that
  // answer is the outcome, not the broken send.
  bool early_answer = (code == CURLE_SEND_ERROR || code == CURLE_RECV_ERROR) && status >= 300;
  if ((code == CURLE_OK && status >= 200) || early_answer) {
    result.answered = true;
    result.status = status;
    return result;
  }
  result.failure_message = error_text[0] ? error_text : curl.easy_strerror(code);
  if (result.body_failed) {
    result.failure = Aws::Client::CoreErrors::INTERNAL_FAILURE;
    result.failure_name = "BodyStreamError";
    result.failure_message = "The body stream ended after " + std::to_string(transfer.sent) + " of " +
                             std::to_string(request.length) + " bytes";
  } else if (code == CURLE_OPERATION_TIMEDOUT) {
    result.failure = Aws::Client::CoreErrors::REQUEST_TIMEOUT;
    result.failure_name = "RequestTimeout";
  } else {
    result.failure = Aws::Client::CoreErrors::NETWORK_CONNECTION;
    result.failure_name = "NetworkConnection";
  }
  return result;
}

}  // namespace txaws
