// CLogUploader: the log upload job. Copies the install root's log folder into a staging
// folder, zips it, deletes the staging folder, unwraps the stored upload credentials, puts
// the archive into the log bucket under "<hospital>/<computer>_<chart code>.zip" and deletes
// the archive. What happens is told through the log writer, the debugger output channel and
// standard output; the caller learns nothing of the outcome.
#pragma once

#include <string>

class CLogUploader {
 public:
  CLogUploader();

  // Runs the job with the current members, on the calling thread. Runs never overlap in the
  // process: the staging folder and the archive have fixed names and each upload starts and
  // shuts down the SDK as a whole, so a second caller waits until the first run has ended.
  void OnExcuteV30();

  std::string m_strRootDir;     // every working path lies under it
  int m_nChartCode;             // printed into the object key with at least five digits
  std::string m_strHospitalId;  // the object key's first part; may be empty
};

// Every byte but 0-9, A-Z, a-z, '-', '.' and '_' as "%XX" (upper-case hexadecimal).
std::string PercentEncode(const std::string& text);

// Copies everything inside source, recursively, into the folder destination (made when
// missing), overwriting files that exist there. True exactly when the shell reports success.
bool CopyFolderContents(const std::string& source, const std::string& destination);
