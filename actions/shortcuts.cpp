#include "actions/shortcuts.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "actions/deployment_values.h"
#include "actions/download.h"
#include "common/install_paths.h"
#include "common/log_writer.h"

namespace {

const char g_szRemoteSupportPath[] = TX_INSTALL_ROOT TX_BIN_SUBFOLDER "TeamViewerQS.exe";
const char g_szRemoteSupportUrlPath[] = "/V3+Deploy/TeamViewerQS.exe";
const char g_szFaviconPath[] = TX_INSTALL_ROOT TX_BIN_SUBFOLDER "favicon.ico";
const char g_szWebPath[] = "/hospital";
const char g_szWebLoginPath[] = "/hospital/login";
// The names are code page 949 bytes, handed to the ANSI file functions as they are.
// "탈벡스  원격지원.lnk" (two spaces: the product name, then "remote support").
const char g_szRemoteSupportLinkName[] = "\xC5\xBB\xBA\xA4\xBD\xBA  \xBF\xF8\xB0\xDD\xC1\xF6\xBF\xF8.lnk";
// "탈벡스 병원관리자.url" (the product name, then "hospital administrator").
const char g_szWebShortcutName[] = "\xC5\xBB\xBA\xA4\xBD\xBA \xBA\xB4\xBF\xF8\xB0\xFC\xB8\xAE\xC0\xDA.url";
// The icon resource: BINARY 139 in the Korean resources (res/txcontroller.rc).
const WORD g_wFaviconResourceId = 139;

std::string HttpsUrl(const char* pszHost, const char* pszPath) { return std::string("https://") + pszHost + pszPath; }

bool FileExists(const std::string& strPath) {
  WIN32_FIND_DATAA findData;
  HANDLE hFind = FindFirstFileExA(strPath.c_str(), FindExInfoStandard, &findData, FindExSearchNameMatch, NULL, 0);
  if (hFind == INVALID_HANDLE_VALUE) return false;
  FindClose(hFind);
  return true;
}

// Releases an interface pointer once and forgets it.
template <class TInterface>
void ReleaseInterface(TInterface*& pInterface) {
  if (pInterface) {
    pInterface->Release();
    pInterface = NULL;
  }
}

}  // namespace

void CreateDesktopShortcuts() {
  const std::string strProgram = g_szRemoteSupportPath;
  char szDesktop[MAX_PATH];
  memset(szDesktop, 0, sizeof(szDesktop));
  // Not examined: on failure the buffer stays empty and the paths start at the drive's root.
  SHGetSpecialFolderPathA(NULL, szDesktop, CSIDL_DESKTOP, FALSE);

  int nLastResult = 0;
  const std::string strLink = std::string(szDesktop) + "\\" + g_szRemoteSupportLinkName;
  DeleteFileA(strLink.c_str());
  // A link still there could not be deleted: the remote-support part waits for another start.
  if (!FileExists(strLink)) {
    WIN32_FIND_DATAA findData;
    HANDLE hProgram =
        FindFirstFileExA(strProgram.c_str(), FindExInfoStandard, &findData, FindExSearchNameMatch, NULL, 0);
    WriteLog(LOG_LEVEL_INFO, "INF1", GetCurrentThreadId(), __LINE__, "[_ThreadProc]Start Create ShortCut[%s][0x%08X]",
             strProgram.c_str(), static_cast<unsigned int>(reinterpret_cast<UINT_PTR>(hProgram)));
    bool bHaveProgram = hProgram != INVALID_HANDLE_VALUE;
    if (!bHaveProgram) {
      bHaveProgram = DownloadUrlToFile(HttpsUrl(g_szDownloadHost, g_szRemoteSupportUrlPath).c_str(),
                                       strProgram.c_str()) != 0;
    }
    if (bHaveProgram) {
      nLastResult = CreateShortcut(strProgram.c_str(), strLink.c_str(), NULL, -1);
      long nError = static_cast<long>(GetLastError());
      WriteLog(LOG_LEVEL_INFO, "INF1", GetCurrentThreadId(), __LINE__,
               "[_ThreadProc]Create Shortcut Result[%d] Err[%ld] Src[%s] Dst[%s]", nLastResult, nError,
               strProgram.c_str(), strLink.c_str());
    }
    if (hProgram != INVALID_HANDLE_VALUE) FindClose(hProgram);
  }

  const std::string strWebShortcut = std::string(szDesktop) + "\\" + g_szWebShortcutName;
  if (!FileExists(strWebShortcut)) {
    const std::string strWebUrl = HttpsUrl(g_szWebHost, g_szWebPath);
    ExtractResourceToFile();
    nLastResult = CreateShortcut(strWebUrl.c_str(), strWebShortcut.c_str(), g_szFaviconPath, 0);
    long nError = static_cast<long>(GetLastError());
    // Src is the address the shortcut opens, as the remote-support entry names its target.
    WriteLog(LOG_LEVEL_INFO, "INF1", GetCurrentThreadId(), __LINE__, "[_ThreadProc]Create Shortcut[%ld] Src[%s] Dst[%s]",
             nError, strWebUrl.c_str(), HttpsUrl(g_szWebHost, g_szWebLoginPath).c_str());
  }

  if (nLastResult != 0) SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, NULL, NULL);
}

int CreateShortcut(LPCSTR pszTarget, LPCSTR pszLinkPath, LPCSTR pszIconPath, int nIconIndex) {
  int nResult = 0;
  IShellLinkA* pShellLink = NULL;
  IUniformResourceLocatorA* pUrlLocator = NULL;
  IPersistFile* pPersistFile = NULL;
  CoInitialize(NULL);
  try {
    char szDrive[_MAX_DRIVE];
    char szDir[_MAX_DIR];
    char szExt[_MAX_EXT];
    memset(szDrive, 0, sizeof(szDrive));
    memset(szDir, 0, sizeof(szDir));
    memset(szExt, 0, sizeof(szExt));
    _splitpath(pszLinkPath, szDrive, szDir, NULL, szExt);

    IUnknown* pObject = NULL;
    if (strncmp(szExt, ".lnk", 4) == 0) {
      if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     reinterpret_cast<void**>(&pShellLink)))) {
        pObject = pShellLink;
      }
    } else if (strncmp(szExt, ".url", 4) == 0) {
      if (SUCCEEDED(CoCreateInstance(CLSID_InternetShortcut, NULL, CLSCTX_INPROC_SERVER, IID_IUniformResourceLocatorA,
                                     reinterpret_cast<void**>(&pUrlLocator))) &&
          SUCCEEDED(pUrlLocator->QueryInterface(IID_IShellLinkA, reinterpret_cast<void**>(&pShellLink)))) {
        pObject = pUrlLocator;
      }
    }

    if (pObject &&
        SUCCEEDED(pObject->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pPersistFile)))) {
      pShellLink->SetPath(pszTarget);
      if (pszIconPath && nIconIndex >= 0) pShellLink->SetIconLocation(pszIconPath, nIconIndex);
      // The folder that holds the shortcut itself, with its trailing backslash.
      std::string strWorkingDir = std::string(szDrive) + szDir;
      pShellLink->SetWorkingDirectory(strWorkingDir.c_str());
      pShellLink->SetShowCmd(SW_SHOW);

      int nLength = static_cast<int>(strlen(pszLinkPath));
      std::vector<WCHAR> wszLinkPath(static_cast<size_t>(nLength) + 1, 0);
      int nConverted = MultiByteToWideChar(CP_THREAD_ACP, 0, pszLinkPath, -1, &wszLinkPath[0], nLength + 1);
      HRESULT hr = pPersistFile->Save(nConverted > 0 ? &wszLinkPath[0] : NULL, TRUE);
      if (hr == S_OK) {
        nResult = 1;
      } else {
        WriteLog(LOG_LEVEL_ERROR, "ERR", GetCurrentThreadId(), __LINE__, "IPersistFile::Save Error");
      }
    }
  } catch (...) {
    WriteLog(LOG_LEVEL_ERROR, "ERR", GetCurrentThreadId(), __LINE__, "exception CreateShortcut function");
  }
  ReleaseInterface(pPersistFile);
  ReleaseInterface(pShellLink);
  ReleaseInterface(pUrlLocator);
  CoUninitialize();
  return nResult;
}

int ExtractResourceToFile() {
  HRSRC hResource = FindResourceA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(g_wFaviconResourceId), "BINARY");
  if (!hResource) return 0;
  HGLOBAL hLoaded = LoadResource(GetModuleHandleA(NULL), hResource);
  if (!hLoaded) return 0;
  DWORD dwSize = SizeofResource(GetModuleHandleA(NULL), hResource);
  const void* pBytes = LockResource(hLoaded);
  if (!pBytes) return 1;
  // fopen's own sharing is _SH_DENYNO; _fsopen spells it out.
  FILE* pFile = _fsopen(g_szFaviconPath, "wb", _SH_DENYNO);
  if (pFile) {
    fwrite(pBytes, dwSize, 1, pFile);
    fclose(pFile);
  }
  return 1;
}
