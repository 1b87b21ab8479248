#include "cli/console.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace vexaro::cli {
namespace {

// A signal handler can reach nothing but a flag of this type, so this one
// piece of state has to live outside any object.
volatile std::sig_atomic_t stopRequested = 0;

// Both stop signals are blocked while it runs, so the first one is kept.
extern "C" void OnStopRequest(int signal) {
  if (stopRequested == 0) stopRequested = signal;
}

class PosixConsole final : public Console {
 public:
  PosixConsole() {
    stopRequested = 0;
    terminal_ = ::isatty(STDERR_FILENO) == 1;

    // SA_RESETHAND: the first request only sets the flag, a second one ends
    // the process at once, for a listing stuck in a slow read or write.
    // SA_RESTART: calls in progress go on, and the flag is seen at the next
    // check.
    struct sigaction stop {};
    stop.sa_handler = OnStopRequest;
    sigemptyset(&stop.sa_mask);
    sigaddset(&stop.sa_mask, SIGINT);
    sigaddset(&stop.sa_mask, SIGTERM);
    stop.sa_flags = SA_RESETHAND | SA_RESTART;
    ::sigaction(SIGINT, &stop, &oldInt_);
    ::sigaction(SIGTERM, &stop, &oldTerm_);

    // A reader that goes away makes writes fail with EPIPE instead of
    // killing the process: the run ends in order (a file named with -o gets
    // its message), and main ends by SIGPIPE when it was standard output's.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, &oldPipe_);
  }

  ~PosixConsole() override {
    ::sigaction(SIGINT, &oldInt_, nullptr);
    ::sigaction(SIGTERM, &oldTerm_, nullptr);
    ::sigaction(SIGPIPE, &oldPipe_, nullptr);
  }

  PosixConsole(const PosixConsole&) = delete;
  PosixConsole& operator=(const PosixConsole&) = delete;

  bool IsTerminal() const override { return terminal_; }

  std::optional<int> Columns() const override {
    if (!terminal_) return std::nullopt;
    struct winsize size {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return std::nullopt;
    return static_cast<int>(size.ws_col);
  }

  void Write(std::string_view utf8) override {
    while (!utf8.empty()) {
      const ssize_t written = ::write(STDERR_FILENO, utf8.data(), utf8.size());
      if (written < 0) {
        if (errno == EINTR) continue;
        return;
      }
      utf8.remove_prefix(static_cast<std::size_t>(written));
    }
  }

  int StopSignal() const override { return stopRequested; }

 private:
  bool terminal_ = false;
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
  struct sigaction oldPipe_ {};
};

}  // namespace

bool OpenMissingStandardStreams() {
  bool outputClosed = false;
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    if (fd == STDOUT_FILENO) outputClosed = true;
    // The lowest free number is taken: the closed one, as lower ones are open.
    const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
  return outputClosed;
}

std::unique_ptr<Console> OpenConsole() { return std::make_unique<PosixConsole>(); }

}  // namespace vexaro::cli
