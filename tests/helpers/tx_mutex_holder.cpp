// Test peer: creates the named mutex given as its argument and holds it until killed.
#include <unistd.h>

#include "platform/win32.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  if (!CreateMutexA(nullptr, TRUE, argv[1])) return 1;
  for (;;) pause();
}
