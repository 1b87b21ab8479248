#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/detached_process.h"
#include "platform/linux/fd.h"

namespace vexaro::platform::posix {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until `fd` is ready for `events`; false once the deadline has passed.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
  pollfd entry{fd, events, 0};
  for (;;) {
    const int n = ::poll(&entry, 1, MillisecondsLeft(deadline));
    if (n > 0) return true;
    if (n == 0) return false;
    if (errno != EINTR) return false;
  }
}

// Only async-signal-safe calls between fork and exec: the parent has threads.
[[noreturn]] void BecomeProgram(const char* program, char* const argv[], int input, int ready, int null) {
  if (::setsid() < 0) ::_exit(127);
  // A second fork: the first child ends at once and the grandchild, whose
  // parent is then the reaper, never becomes a zombie of this process.
  const pid_t pid = ::fork();
  if (pid != 0) ::_exit(pid < 0 ? 127 : 0);
  if (::dup2(input, 0) < 0 || ::dup2(ready, 1) < 0 || ::dup2(null, 2) < 0) ::_exit(127);
  // Nothing else of this process is kept open: its X connection above all,
  // which would keep this process's windows and selections alive.
  ::close_range(3, ~0U, 0);
  if (::chdir("/") != 0) ::_exit(127);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::signal(SIGPIPE, SIG_DFL);
  ::execv(program, argv);
  ::_exit(127);
}

}  // namespace

std::error_code StartDetached(const std::string& program, const std::vector<std::string>& args, std::string_view input,
                              std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  int inputPipe[2];
  int readyPipe[2];
  if (::pipe2(inputPipe, O_CLOEXEC) != 0) return LastError();
  UniqueFd inputRead(inputPipe[0]);
  UniqueFd inputWrite(inputPipe[1]);
  if (::pipe2(readyPipe, O_CLOEXEC) != 0) return LastError();
  UniqueFd readyRead(readyPipe[0]);
  UniqueFd readyWrite(readyPipe[1]);
  UniqueFd null(::open("/dev/null", O_RDWR | O_CLOEXEC));
  if (!null) return LastError();

  const pid_t child = ::fork();
  if (child < 0) return LastError();
  if (child == 0) BecomeProgram(program.c_str(), argv.data(), inputRead.get(), readyWrite.get(), null.get());
  inputRead.reset();
  readyWrite.reset();
  null.reset();
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::make_error_code(std::errc::no_child_process);

  // A program that ends before it has read everything must not end this
  // one with SIGPIPE: its write fails with EPIPE instead.
  struct sigaction ignore {};
  struct sigaction previous {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &previous);
  ::fcntl(inputWrite.get(), F_SETFL, O_NONBLOCK);
  std::error_code error;
  while (!input.empty()) {
    if (!WaitFor(inputWrite.get(), POLLOUT, deadline)) {
      error = std::make_error_code(std::errc::timed_out);
      break;
    }
    const ssize_t n = ::write(inputWrite.get(), input.data(), input.size());
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      error = errno == EPIPE ? std::make_error_code(std::errc::no_child_process) : LastError();
      break;
    }
    input.remove_prefix(static_cast<std::size_t>(n));
  }
  ::sigaction(SIGPIPE, &previous, nullptr);
  inputWrite.reset();
  if (error) return error;

  if (!WaitFor(readyRead.get(), POLLIN, deadline)) return std::make_error_code(std::errc::timed_out);
  char byte = 0;
  ssize_t n;
  while ((n = ::read(readyRead.get(), &byte, 1)) < 0 && errno == EINTR) {
  }
  if (n == 1) return {};
  return std::make_error_code(std::errc::no_child_process);
}

}  // namespace vexaro::platform::posix
