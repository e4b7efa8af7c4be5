#include "platform/internet_errors.h"

#include "platform/curl_library.h"
#include "platform/errors.h"

namespace platform {

namespace {

// OpenSSL's verification results (X509_V_ERR_*) that libcurl leaves behind.
constexpr long kVerifyOk = 0;
constexpr long kVerifyUnspecified = 1;
constexpr long kCertNotYetValid = 9;
constexpr long kCertHasExpired = 10;
constexpr long kHostnameMismatch = 62;
// The chain does not end at a trusted authority.
constexpr long kUntrustedChain[] = {2, 18, 19, 20, 21, 24, 27};

DWORD certificate_error(CURL* easy) {
  long verify = kVerifyOk;
  if (easy) curl().easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verify);
  for (long untrusted : kUntrustedChain) {
    if (verify == untrusted) return ERROR_INTERNET_INVALID_CA;
  }
  if (verify == kCertNotYetValid || verify == kCertHasExpired) return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
  // libcurl checks the host name itself once the chain is accepted, which leaves a clean or
  // unspecified chain result behind; some builds let OpenSSL report the mismatch.
  if (verify == kVerifyOk || verify == kVerifyUnspecified || verify == kHostnameMismatch) {
    return ERROR_INTERNET_SEC_CERT_CN_INVALID;
  }
  return ERROR_INTERNET_SEC_INVALID_CERT;
}

}  // namespace

DWORD wininet_error_from_curl(CURLcode code, CURL* easy) {
  switch (code) {
    case CURLE_OK: return ERROR_SUCCESS;
    case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_URL_MALFORMAT: return ERROR_INTERNET_INVALID_URL;
    case CURLE_COULDNT_RESOLVE_HOST: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_PEER_FAILED_VERIFICATION: return certificate_error(easy);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE: return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING: return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_PARTIAL_FILE: return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR: return ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_OUT_OF_MEMORY: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_INTERNET_INTERNAL_ERROR;
  }
}

}  // namespace platform
