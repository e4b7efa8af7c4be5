// The start-up code of a Windows program on this machine: main() hands over to wWinMain.
#include <string>

#include "platform/codepage.h"
#include "platform/kernel.h"

#define SW_SHOWDEFAULT_COMMAND 10  // SW_SHOWDEFAULT

int main(int argc, char** argv) {
  // The command line after the program name, as Windows passes it to wWinMain.
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  std::u16string wide = platform::utf8_to_utf16(line);
  int result = wWinMain(GetModuleHandleA(nullptr), nullptr, wide.data(), SW_SHOWDEFAULT_COMMAND);
  ExitProcess(static_cast<UINT>(result));
}
