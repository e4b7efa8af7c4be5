#include "aws/src/sigv4.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "aws/src/crypto.h"

namespace txaws {

namespace {

std::string lower(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return result;
}

// Leading and trailing blanks cut, inner runs of blanks made one space.
std::string trimmed(std::string_view value) {
  std::string result;
  bool blank = false;
  for (char c : value) {
    if (c == ' ' || c == '\t') {
      blank = !result.empty();
      continue;
    }
    if (blank) result += ' ';
    blank = false;
    result += c;
  }
  return result;
}

}  // namespace

std::string to_hex(const unsigned char* bytes, std::size_t size) {
  constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 0xF];
  }
  return text;
}

std::string uri_encode(std::string_view text, bool keep_slash) {
  std::string result;
  result.reserve(text.size());
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                      c == '.' || c == '_' || c == '~' || (keep_slash && c == '/');
    if (unreserved) {
      result += ch;
    } else {
      result += '%';
      result += "0123456789ABCDEF"[c >> 4];
      result += "0123456789ABCDEF"[c & 0xF];
    }
  }
  return result;
}

std::string hex_sha256(std::string_view bytes) {
  Sha256 hash;
  hash.update(bytes.data(), bytes.size());
  return hash.hex_final();
}

// From the calendar of std::chrono rather than gmtime_r, which the Windows C runtime lacks.
std::string amz_date(std::time_t when) {
  using namespace std::chrono;
  sys_seconds moment{seconds{when}};
  sys_days day = floor<days>(moment);
  year_month_day date{day};
  hh_mm_ss time{moment - day};
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02u%02uT%02d%02d%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text;
}

SigningResult sign_v4(const SigningRequest& request, std::string_view access_key_id, std::string_view secret_key) {
  std::vector<std::pair<std::string, std::string>> headers;
  for (const auto& [name, value] : request.headers) headers.emplace_back(lower(name), trimmed(value));
  std::sort(headers.begin(), headers.end());

  SigningResult result;
  std::string canonical_headers;
  for (const auto& [name, value] : headers) {
    canonical_headers += name + ':' + value + '\n';
    if (!result.signed_headers.empty()) result.signed_headers += ';';
    result.signed_headers += name;
  }
  result.canonical_request = request.method + '\n' + request.canonical_uri + '\n' + request.canonical_query + '\n' +
                             canonical_headers + '\n' + result.signed_headers + '\n' + request.payload_hash;

  std::string date = request.amz_date.substr(0, 8);
  std::string scope = date + '/' + request.region + '/' + request.service + "/aws4_request";
  result.string_to_sign =
      "AWS4-HMAC-SHA256\n" + request.amz_date + '\n' + scope + '\n' + hex_sha256(result.canonical_request);

  std::string key = hmac_sha256("AWS4" + std::string(secret_key), date);
  key = hmac_sha256(key, request.region);
  key = hmac_sha256(key, request.service);
  key = hmac_sha256(key, "aws4_request");
  std::string signature = hmac_sha256(key, result.string_to_sign);
  result.signature = to_hex(reinterpret_cast<const unsigned char*>(signature.data()), signature.size());
  result.authorization = "AWS4-HMAC-SHA256 Credential=" + std::string(access_key_id) + '/' + scope +
                         ", SignedHeaders=" + result.signed_headers + ", Signature=" + result.signature;
  return result;
}

}  // namespace txaws
