// wininet: HTTP and HTTPS downloads over libcurl.
//
// Export list (what is offered, and how much of Windows it covers):
//   InternetOpenA        INTERNET_OPEN_TYPE_DIRECT; the PRECONFIG types mean the same here (this
//                        machine's configuration is direct access; the host's proxy variables are
//                        never used); INTERNET_OPEN_TYPE_PROXY is refused (87). The user agent
//                        (none when NULL or empty) is sent with every request; flags must be 0
//                        (asynchronous and offline modes are refused, 87)
//   InternetOpenUrlA     http and https only (12006 for any other scheme, 12005 for a URL that
//                        does not parse); no extra headers (87 otherwise). The request is sent
//                        and the response headers are received inside the call, so connection
//                        failures fail the open: 12007 name not resolved, 12029 cannot connect,
//                        12002 time-out, 12045 untrusted CA, 12038 name not in the certificate,
//                        12037 certificate date, 12157 other TLS failures. An HTTP error status
//                        opens normally; its status is read with HttpQueryInfoA.
//                        Redirects (301 302 303 307 308) are followed with a GET, http to https
//                        included; https to http fails with 12040 unless
//                        INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP; a redirect to another scheme, or
//                        more than 5 of them in a row, fails with 12156;
//                        INTERNET_FLAG_NO_AUTO_REDIRECT hands back the 3xx response itself.
//                        Nothing is cached: INTERNET_FLAG_RELOAD, _NO_CACHE_WRITE, _PRAGMA_NOCACHE,
//                        _KEEP_CONNECTION and _EXISTING_CONNECT are accepted and change nothing;
//                        other flags are refused (87). Names are looked up in the machine's hosts
//                        file first, then by the host's resolver; the certificate authorities of
//                        the machine's certs folder are trusted besides the system's.
//   InternetReadFile     synchronous; fills the buffer unless the body ends first; TRUE with 0
//                        bytes at the end of the body; FALSE with 12030 when the connection ends
//                        before the body does (a short Content-Length included), 12031 when it is
//                        reset, 12002 when no data comes for the receive time-out
//   InternetSetOptionA   INTERNET_OPTION_CONNECT_TIMEOUT and INTERNET_OPTION_RECEIVE_TIMEOUT (DWORD
//                        milliseconds) on a session (inherited by the URL handles opened after) or a
//                        URL handle (receive only); 12009 for other options, 12010 for a wrong
//                        length; the process-wide settings of a NULL handle are not offered (6)
//   InternetCloseHandle  either handle kind; a URL handle may outlive its session handle
//   HttpQueryInfoA       HTTP_QUERY_STATUS_CODE as text, or as a DWORD with HTTP_QUERY_FLAG_NUMBER;
//                        122 with the needed size (text: with its NUL) when the buffer is short;
//                        other levels are refused (87)
// Handles are checked against a table of the layer's own: a stale or foreign value gives
// ERROR_INVALID_HANDLE, a handle of the other kind 12018.
// Default time-outs as Windows documents them: connect 60 s, receive 30 s. The stream holds at
// most one network chunk besides the caller's buffer; no body is ever held whole in memory.
#pragma once

#include "platform/errors.h"
#include "platform/types.h"

using HINTERNET = void*;
using INTERNET_PORT = WORD;

// Access types of InternetOpenA.
#define INTERNET_OPEN_TYPE_PRECONFIG 0
#define INTERNET_OPEN_TYPE_DIRECT 1
#define INTERNET_OPEN_TYPE_PROXY 3
#define INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY 4

// Flags of InternetOpenUrlA.
#define INTERNET_FLAG_RELOAD 0x80000000u
#define INTERNET_FLAG_EXISTING_CONNECT 0x20000000u
#define INTERNET_FLAG_NO_CACHE_WRITE 0x04000000u
#define INTERNET_FLAG_KEEP_CONNECTION 0x00400000u
#define INTERNET_FLAG_NO_AUTO_REDIRECT 0x00200000u
#define INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP 0x00008000u
#define INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS 0x00004000u
#define INTERNET_FLAG_PRAGMA_NOCACHE 0x00000100u

// Options of InternetSetOptionA.
#define INTERNET_OPTION_CONNECT_TIMEOUT 2
#define INTERNET_OPTION_RECEIVE_TIMEOUT 6

// Levels and modifiers of HttpQueryInfoA.
#define HTTP_QUERY_STATUS_CODE 19
#define HTTP_QUERY_FLAG_NUMBER 0x20000000u

HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass, DWORD flags);
HINTERNET InternetOpenUrlA(HINTERNET internet, LPCSTR url, LPCSTR headers, DWORD headersLength, DWORD flags,
                           DWORD_PTR context);
BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read);
BOOL InternetSetOptionA(HINTERNET internet, DWORD option, LPVOID buffer, DWORD length);
BOOL InternetCloseHandle(HINTERNET internet);
BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength, LPDWORD index);
