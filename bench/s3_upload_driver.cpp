// Runs one PutLogArchive, for bench/s3_upload_bench.
// Usage: s3_upload_driver ACCESS_KEY_ID SECRET OBJECT_KEY ARCHIVE_WINDOWS_PATH
#include <cstdio>

#include "logupload/s3_upload.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s ACCESS_KEY_ID SECRET OBJECT_KEY ARCHIVE_WINDOWS_PATH\n", argv[0]);
    return 2;
  }
  PutLogArchive(argv[1], argv[2], argv[3], argv[4]);
  return 0;
}
