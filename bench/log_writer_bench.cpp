// WriteLog to its daily file beside the same record appended by hand through the layer with
// the open-append-close cycle that WriteLog must make: the ratio of the two is the cost of
// the logger itself.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "common/log_writer.h"

namespace {

class MachineFolder {
 public:
  MachineFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "txbench-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
    ::setenv("TX_MACHINE", root_.c_str(), 1);
    CreateDirectoryA("C:\\log", nullptr);
    std::snprintf(g_szLogFolder, sizeof g_szLogFolder, "%s", "C:\\log");
    std::snprintf(g_szLogPrefix, sizeof g_szLogPrefix, "%s", "TXCO");
    g_nLogLevel = LOG_LEVEL_DEFAULT;
  }
  ~MachineFolder() { std::filesystem::remove_all(root_); }

 private:
  std::string root_;
};

const char kMessage[] = "[_ThreadProc]Start Job[%ld] data[%s]";
const char kData[] = "http://download.example/updates/updater.exe";

void BM_WriteLog(benchmark::State& state) {
  MachineFolder machine;
  for (auto _ : state) {
    WriteLog(LOG_LEVEL_INFO, "INF1", GetCurrentThreadId(), __LINE__, kMessage, 1L, kData);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteLog);

void BM_RawAppendCycle(benchmark::State& state) {
  MachineFolder machine;
  char record[256];
  int length = std::snprintf(record, sizeof record,
                             "[2026/12/10 10:00:00.000][TXCOINF1][4242][42] [_ThreadProc]Start Job[1] data[%s]\r\n",
                             kData);
  for (auto _ : state) {
    FILE* file = _fsopen("C:\\log\\Log_10.log", "ab", _SH_DENYRW);
    if (file) {
      std::fwrite(record, 1, static_cast<size_t>(length), file);
      std::fclose(file);
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RawAppendCycle);

}  // namespace

BENCHMARK_MAIN();
