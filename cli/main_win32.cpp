#include <string>
#include <vector>

#include "cli/run.h"
#include "platform/win32/convert_win32.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(vexaro::platform::win32::Narrow(argv[i]));
  return vexaro::cli::Main(args);
}
