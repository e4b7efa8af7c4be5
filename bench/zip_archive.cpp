// Benchmark driver: packs the folder at a Windows path with CZipper::ArchiveDirectory, as the
// log upload job does, so that bench/zip_bench can time it beside Info-ZIP's zip.
#include <cstdio>

#include "logupload/zipper.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zip_archive 'C:\\folder'\n");
    return 2;
  }
  return CZipper::ArchiveDirectory(argv[1]) ? 0 : 1;
}
