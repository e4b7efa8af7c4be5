#include "logupload/log_uploader.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/log_writer.h"
#include "logupload/credential.h"
#include "logupload/deployment_values.h"
#include "logupload/s3_upload.h"
#include "logupload/zipper.h"
#include "platform/win32.h"

namespace {

// Stands in for the computer's name in the object key when Windows cannot give it, so the
// archive still goes up and shows plainly which computer could not be named.
const char kUnknownComputerName[] = "UNKNOWN-PC";
const DWORD kComputerNameBufferSize = 1024;
const size_t kObjectKeyBufferSize = 256;

// One lock for every run in the process, usable from the first call on without any
// start-up step: whichever thread comes second waits for the whole run of the first.
SRWLOCK g_srwLogUploadRun = SRWLOCK_INIT;

class CRunLock {
 public:
  CRunLock() { AcquireSRWLockExclusive(&g_srwLogUploadRun); }
  ~CRunLock() { ReleaseSRWLockExclusive(&g_srwLogUploadRun); }
  CRunLock(const CRunLock&) = delete;
  CRunLock& operator=(const CRunLock&) = delete;
};

// A shell path list of one path: the path and two terminating zeros. False when the path
// does not fit the buffer with both.
bool FillPathList(char* buffer, size_t size, const std::string& path) {
  if (path.size() + 2 > size) return false;
  memcpy(buffer, path.c_str(), path.size());
  buffer[path.size()] = '\0';
  buffer[path.size() + 1] = '\0';
  return true;
}

void DeleteFolderTree(const std::string& folder) {
  char szFrom[MAX_PATH + 1];
  if (!FillPathList(szFrom, sizeof szFrom, folder)) return;
  SHFILEOPSTRUCTA op;
  memset(&op, 0, sizeof op);
  op.hwnd = NULL;
  op.wFunc = FO_DELETE;
  op.pFrom = szFrom;
  op.pTo = "";
  op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  op.lpszProgressTitle = "";
  SHFileOperationA(&op);
}

// The credential enciphered in cipherHex, or false when it cannot be converted.
bool UnwrapCredential(const char* cipherHex, std::string& credential) {
  unsigned char* pBytes = HexToBytes(cipherHex);
  if (!pBytes) return false;
  credential = DecryptCredential(pBytes);
  free(pBytes);
  return true;
}

}  // namespace

CLogUploader::CLogUploader() : m_strRootDir("C:\\talvex"), m_nChartCode(3030), m_strHospitalId("66660001") {}

void CLogUploader::OnExcuteV30() {
  CRunLock lock;
  WriteLog(LOG_LEVEL_INFO, "INF1", GetCurrentThreadId(), __LINE__, "[OnExcuteV30]Start Log Upload[%s][%ld]",
           m_strHospitalId.c_str(), static_cast<long>(m_nChartCode));

  const std::string strLogDir = m_strRootDir + "\\log";
  const std::string strStagingDir = m_strRootDir + "\\bulogzip";
  const std::string strArchive = m_strRootDir + "\\bulogzip.zip";

  // The object key is made before anything touches the disk, so a key that cannot be sent
  // refuses the run without leaving a staging folder or an archive behind.
  char szComputerName[kComputerNameBufferSize];
  DWORD nNameSize = kComputerNameBufferSize;
  if (!GetComputerNameA(szComputerName, &nNameSize)) {
    snprintf(szComputerName, sizeof szComputerName, "%s", kUnknownComputerName);
  }
  const std::string strComputer = PercentEncode(szComputerName);
  char szObjectKey[kObjectKeyBufferSize];
  int nKeyLength = snprintf(szObjectKey, sizeof szObjectKey, "%s/%s_%05d.zip", m_strHospitalId.c_str(),
                            strComputer.c_str(), m_nChartCode);
  if (nKeyLength < 0 || static_cast<size_t>(nKeyLength) >= sizeof szObjectKey) {
    WriteLog(LOG_LEVEL_INFO, "INF1", GetCurrentThreadId(), __LINE__, "[OnExcuteV30]Object Key Too Long[%ld]",
             static_cast<long>(nKeyLength));
    return;
  }

  CreateDirectoryA(strStagingDir.c_str(), NULL);
  if (!CopyFolderContents(strLogDir, strStagingDir)) {
    WriteLog(LOG_LEVEL_INFO, "INF1", GetCurrentThreadId(), __LINE__, "[OnExcuteV30]Failed Copy Dir[%s][%s]",
             strLogDir.c_str(), strStagingDir.c_str());
    return;
  }
  // An archive that could not be written whole (a full disk) is not uploaded as if it were.
  if (!CZipper::ArchiveDirectory(strStagingDir.c_str())) {
    DeleteFolderTree(strStagingDir);
    DeleteFileA(strArchive.c_str());  // first, so that the record finds room on a full disk
    WriteLog(LOG_LEVEL_INFO, "INF1", GetCurrentThreadId(), __LINE__, "[OnExcuteV30]Failed Zip Archive[%s]",
             strArchive.c_str());
    return;
  }
  WriteLog(LOG_LEVEL_INFO, "INF1", GetCurrentThreadId(), __LINE__, "[OnExcuteV30]data[%s]", szObjectKey);
  DeleteFolderTree(strStagingDir);

  std::string strAccessKeyId;
  if (!UnwrapCredential(g_szAccessKeyIdCipher, strAccessKeyId)) {
    OutputDebugStringA("failed access key!");
    return;
  }
  std::string strSecretKey;
  if (!UnwrapCredential(g_szSecretKeyCipher, strSecretKey)) {
    OutputDebugStringA("failed secure key!");
    return;
  }
  PutLogArchive(strAccessKeyId.c_str(), strSecretKey.c_str(), szObjectKey, strArchive.c_str());
  DeleteFileA(strArchive.c_str());
}

std::string PercentEncode(const std::string& text) {
  std::string strEncoded;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '.' ||
        c == '_') {
      strEncoded += static_cast<char>(c);
    } else {
      char szEscape[4];
      snprintf(szEscape, sizeof szEscape, "%%%02X", c);
      strEncoded += szEscape;
    }
  }
  return strEncoded;
}

bool CopyFolderContents(const std::string& source, const std::string& destination) {
  char szFrom[MAX_PATH + 1];
  char szTo[MAX_PATH + 1];
  if (!FillPathList(szFrom, sizeof szFrom, source + "\\*") || !FillPathList(szTo, sizeof szTo, destination)) {
    return false;
  }
  SHFILEOPSTRUCTA op;
  memset(&op, 0, sizeof op);
  op.hwnd = NULL;
  op.wFunc = FO_COPY;
  op.pFrom = szFrom;
  op.pTo = szTo;
  op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
  op.hNameMappings = NULL;
  op.lpszProgressTitle = NULL;
  return SHFileOperationA(&op) == 0;
}
