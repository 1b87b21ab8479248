#include <signal.h>

#include <string>
#include <vector>

#include "cli/run.h"

namespace {

// Ends the process by SIGPIPE, as a program that never handled it would:
// the shell and the parent of a pipeline see the usual sign of a reader that
// went away, and print nothing for it.
void EndBySigpipe() {
  ::signal(SIGPIPE, SIG_DFL);
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  ::sigprocmask(SIG_UNBLOCK, &pipe, nullptr);
  ::raise(SIGPIPE);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const int status = vexaro::cli::Main(args);
  if (status == vexaro::cli::kExitBrokenPipe) EndBySigpipe();
  return status;
}
