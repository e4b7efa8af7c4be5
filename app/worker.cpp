#include "app/worker.h"

#include <stdio.h>
#include <string.h>

#include "actions/download.h"
#include "actions/process.h"
#include "actions/shortcuts.h"
#include "app/job_queue.h"
#include "common/install_paths.h"
#include "common/log_writer.h"
#include "common/settings.h"
#include "logupload/log_uploader.h"

LONG g_bShortcutsDone = 0;

namespace {

const char kNoticeImagePath[] = TX_INSTALL_ROOT "\\notification_00.jpg";
const char kNoticeViewerPath[] = TX_INSTALL_ROOT TX_BIN_SUBFOLDER "txnotice.exe";
const size_t kSplitBufferChars = 256;

void RunUpdateJob(const CJobData& job) {
  std::string strFileName, strExtension;
  if (!SplitUpdateAddress(job.m_strData.c_str(), strFileName, strExtension)) {
    WriteLog(LOG_LEVEL_ERROR, "ERR", GetCurrentThreadId(), __LINE__, "[_ThreadProc]Update Address Too Long[%.200s]",
             job.m_strData.c_str());
    return;
  }
  char szTarget[MAX_PATH];
  snprintf(szTarget, sizeof szTarget, "%s\\%s%s", TX_INSTALL_ROOT, strFileName.c_str(), strExtension.c_str());
  std::string strExecutable = strFileName + strExtension;

  if (IsProcessRunning(strExecutable.c_str())) {
    WriteLog(LOG_LEVEL_INFO, "INF1", GetCurrentThreadId(), __LINE__, "[_ThreadProc]Alread Excuted Update Process[%s]",
             strFileName.c_str());
    return;
  }
  DownloadUrlToFile(job.m_strData.c_str(), szTarget);
  if (TXCreateProcess(szTarget)) {
    WriteLog(LOG_LEVEL_INFO, "INF1", GetCurrentThreadId(), __LINE__, "[_ThreadProc]Exit Controller Process");
    ExitProcess(0);
  }
}

void RunNoticeJob(const CJobData& job) {
  DeleteFileA(kNoticeImagePath);
  std::string strCurrent = ReadConfigString("noticefiletime");
  if (!strCurrent.empty()) {
    std::string strLast = ReadConfigString("noticelasttime");
    if (!strLast.empty()) {
      WriteLog(LOG_LEVEL_INFO, "INF1", GetCurrentThreadId(), __LINE__,
               "compare notification time current[%s] lasttime[%s]", strCurrent.c_str(), strLast.c_str());
      // std::string compares its bytes as unsigned values, a proper prefix sorting first.
      if (strLast.compare(strCurrent) >= 0) return;
    }
  }
  DownloadUrlToFile(job.m_strData.c_str(), kNoticeImagePath);
  TXCreateProcess(kNoticeViewerPath);
}

}  // namespace

bool SplitUpdateAddress(const char* address, std::string& fileName, std::string& extension) {
  // The last part is what _splitpath_s splits into name and extension; measured first, since
  // a part too long for its buffer is an invalid parameter to the runtime, not a result.
  const char* pLast = address;
  for (const char* p = address; *p; ++p) {
    if (*p == '\\' || *p == '/') pLast = p + 1;
  }
  if (pLast == address && address[0] != '\0' && address[1] == ':') pLast = address + 2;
  const char* pDot = strrchr(pLast, '.');
  size_t nameChars = pDot ? static_cast<size_t>(pDot - pLast) : strlen(pLast);
  size_t extensionChars = pDot ? strlen(pDot) : 0;
  if (nameChars >= kSplitBufferChars || extensionChars >= kSplitBufferChars ||
      strlen(TX_INSTALL_ROOT "\\") + nameChars + extensionChars >= MAX_PATH) {
    return false;
  }
  char szFileName[kSplitBufferChars];
  char szExtension[kSplitBufferChars];
  if (_splitpath_s(address, NULL, 0, NULL, 0, szFileName, sizeof szFileName, szExtension, sizeof szExtension) != 0) {
    return false;
  }
  fileName = szFileName;
  extension = szExtension;
  return true;
}

void RunLogUpload() {
  CLogUploader uploader;
  uploader.m_strHospitalId = LookupHospitalId();
  uploader.m_nChartCode = LookupChartCode();
  uploader.OnExcuteV30();
}

DWORD WINAPI _ThreadProc(LPVOID) {
  for (;;) {
    if (!g_bShortcutsDone) {
      CreateDesktopShortcuts();
      g_bShortcutsDone = 1;
    }
    CJobData job;
    if (TakeJob(job)) {
      WriteLog(LOG_LEVEL_INFO, "INF1", GetCurrentThreadId(), __LINE__, "[_ThreadProc]Start Job[%ld] data[%s]",
               static_cast<long>(job.m_nType), job.m_strData.c_str());
      switch (job.m_nType) {
        case JOB_UPDATE:
          RunUpdateJob(job);
          break;
        case JOB_SENDLOG:
          RunLogUpload();
          break;
        case JOB_NOTICE:
          RunNoticeJob(job);
          break;
      }
    }
    Sleep(TX_POLL_INTERVAL_MS);
  }
}
