// Driven by bench/download_bench: DownloadUrlToFile for each URL in turn into one file, in one
// process (so its peak resident size covers every call); prints the bytes fetched in all.
#include <cstdio>

#include "actions/download.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: download_file WINDOWS-PATH URL...\n");
    return 2;
  }
  long long total = 0;
  for (int i = 2; i < argc; ++i) {
    int result = DownloadUrlToFile(argv[i], argv[1]);
    if (result <= 0) {
      std::fprintf(stderr, "download_file: %s failed\n", argv[i]);
      return 1;
    }
    total += result;
  }
  std::printf("%lld\n", total);
  return 0;
}
