// Stands in for a started program: writes its pid to the file named by its first argument
// (if any), then sleeps until it is killed.
#include <stdio.h>
#include <unistd.h>

#include <string>

int main(int argc, char** argv) {
  if (argc > 1) {
    // Written under another name and renamed, so a reader never sees half a pid.
    std::string part = std::string(argv[1]) + ".part";
    if (FILE* f = fopen(part.c_str(), "w")) {
      fprintf(f, "%d\n", static_cast<int>(getpid()));
      fclose(f);
      rename(part.c_str(), argv[1]);
    }
  }
  for (;;) pause();
}
