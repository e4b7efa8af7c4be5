// WM_COPYDATA records as the controller's window procedure receives them: cbData selects the
// job and is also the count of bytes delivered, so the procedure gets exactly the input's
// bytes. The first input byte chooses a NULL lpData (then the next four bytes are cbData, as
// a sender may claim any size without data). The queued job must hold the text up to the
// first zero byte, never more than was delivered, and the type the size selects.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/job_queue.h"
#include "app/main_window.h"
#include "fuzz/support/fuzz_machine.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  txfuzz::machine_root();
  InitializeCriticalSection(&g_csJobQueue);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  COPYDATASTRUCT copy{};
  // A copy of exactly the delivered bytes, so that reading one beyond them is caught.
  std::vector<std::uint8_t> delivered;
  if (data[0] & 1) {
    if (size < 5) return 0;
    std::memcpy(&copy.cbData, data + 1, sizeof copy.cbData);
  } else {
    delivered.assign(data + 1, data + size);
    copy.cbData = static_cast<DWORD>(delivered.size());
    copy.lpData = delivered.empty() ? nullptr : delivered.data();
  }
  copy.dwData = 0;

  if (WndProc(nullptr, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy)) != 0) std::abort();
  CJobData job;
  if (!TakeJob(job)) std::abort();
  if (TakeJob(job)) std::abort();  // one record, one job

  std::string expected;
  if (!delivered.empty()) {
    const char* text = reinterpret_cast<const char*>(delivered.data());
    expected.assign(text, strnlen(text, delivered.size()));
  }
  if (job.m_strData != expected) std::abort();
  const int type = copy.cbData >= JOB_UPDATE && copy.cbData <= JOB_NOTICE ? static_cast<int>(copy.cbData) : JOB_NONE;
  if (job.m_nType != type) std::abort();
  return 0;
}
