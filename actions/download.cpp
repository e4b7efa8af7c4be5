#include "actions/download.h"

#include <stdio.h>
#include <string.h>

#include <vector>

#include "platform/win32.h"

namespace {

const char g_szUserAgent[] = "txupdate";
// S3 answers a missing or forbidden object with an XML document that holds this text.
const char g_szErrorMarker[] = "<Error><Code>";
const char g_szTempSuffix[] = ".part";
const DWORD g_dwReadSize = 10240;
const int g_nMaxReads = 50000;
// The file's own buffer gathers several reads into one write to the disk.
const size_t g_nFileBuffer = 64 * 1024;

// Closes an Internet handle when the download leaves its scope.
class CInternetHandle {
 public:
  explicit CInternetHandle(HINTERNET hHandle) : m_hHandle(hHandle) {}
  ~CInternetHandle() {
    if (m_hHandle) InternetCloseHandle(m_hHandle);
  }
  CInternetHandle(const CInternetHandle&) = delete;
  CInternetHandle& operator=(const CInternetHandle&) = delete;

  HINTERNET Get() const { return m_hHandle; }

 private:
  HINTERNET m_hHandle;
};

bool HasSuccessStatus(HINTERNET hUrl) {
  DWORD dwStatus = 0;
  DWORD dwSize = sizeof(dwStatus);
  if (!HttpQueryInfoA(hUrl, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &dwStatus, &dwSize, NULL)) {
    return false;
  }
  return dwStatus >= 200 && dwStatus < 300;
}

// The chunk is taken as text up to its first NUL byte, so the binary start of an executable
// or an image ends the test early and its later bytes never count as a marker.
bool HoldsErrorMarker(const char* pChunk, DWORD dwSize) {
  const void* pNul = memchr(pChunk, 0, dwSize);
  size_t nText = pNul ? static_cast<size_t>(static_cast<const char*>(pNul) - pChunk) : dwSize;
  size_t nMarker = sizeof(g_szErrorMarker) - 1;
  for (size_t i = 0; i + nMarker <= nText; ++i) {
    if (memcmp(pChunk + i, g_szErrorMarker, nMarker) == 0) return true;
  }
  return false;
}

// Streams the body into pFile; the byte count when it arrived whole, -1 otherwise.
int CopyBody(HINTERNET hUrl, FILE* pFile) {
  static_assert(g_dwReadSize * static_cast<long long>(g_nMaxReads) <= 0x7FFFFFFF, "the total fits the result");
  char buffer[g_dwReadSize];
  int nTotal = 0;
  for (int nReads = 0;; ++nReads) {
    DWORD dwRead = 0;
    if (!InternetReadFile(hUrl, buffer, g_dwReadSize, &dwRead)) return -1;
    if (dwRead == 0) return nTotal;
    // A body that still has data after the last permitted read would be cut short.
    if (nReads == g_nMaxReads) return -1;
    if (HoldsErrorMarker(buffer, dwRead)) return -1;
    if (fwrite(buffer, dwRead, 1, pFile) != 1) return -1;
    nTotal += static_cast<int>(dwRead);
  }
}

}  // namespace

int DownloadUrlToFile(const char* pszUrl, const char* pszPath) {
  if (!pszUrl || !pszPath) return 0;
  char szTemp[MAX_PATH];
  int nTempLength = snprintf(szTemp, sizeof(szTemp), "%s%s", pszPath, g_szTempSuffix);
  if (nTempLength < 0 || nTempLength >= static_cast<int>(sizeof(szTemp))) return 0;

  CInternetHandle internet(InternetOpenA(g_szUserAgent, INTERNET_OPEN_TYPE_DIRECT, NULL, NULL, 0));
  if (!internet.Get()) return 0;
  CInternetHandle url(InternetOpenUrlA(internet.Get(), pszUrl, NULL, 0, 0, 0));
  if (!url.Get() || !HasSuccessStatus(url.Get())) return 0;

  // Declared before the file: the stream uses it until fclose.
  std::vector<char> fileBuffer(g_nFileBuffer);
  FILE* pFile = _fsopen(szTemp, "wb", _SH_DENYNO);
  if (!pFile) return 0;
  setvbuf(pFile, fileBuffer.data(), _IOFBF, fileBuffer.size());
  int nTotal = CopyBody(url.Get(), pFile);
  if (fclose(pFile) != 0) nTotal = -1;
  if (nTotal < 0 || !MoveFileExA(szTemp, pszPath, MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileA(szTemp);
    return 0;
  }
  return nTotal;
}
