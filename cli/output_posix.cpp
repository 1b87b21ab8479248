#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "cli/buffered_output.h"

namespace vexaro::cli {
namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

class FileOutput final : public BufferedOutput {
 public:
  FileOutput(int fd, bool owned) : BufferedOutput(::isatty(fd) == 1), fd_(fd), owned_(owned) {}
  ~FileOutput() override { (void)Close(); }

  FileOutput(const FileOutput&) = delete;
  FileOutput& operator=(const FileOutput&) = delete;

 private:
  std::error_code WriteThrough(std::string_view bytes) override {
    while (!bytes.empty()) {
      const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
      if (written < 0) {
        if (errno == EINTR) continue;
        return LastError();
      }
      bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
  }

  std::error_code ReleaseHandle() override {
    if (owned_ && ::close(fd_) != 0) return LastError();
    return {};
  }

  int fd_;
  bool owned_;
};

}  // namespace

std::unique_ptr<OutputStream> OpenStandardOutput() { return std::make_unique<FileOutput>(STDOUT_FILENO, false); }

OutputResult CreateOutputFile(std::string_view path) {
  const std::string name(path);
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return {nullptr, LastError()};
  return {std::make_unique<FileOutput>(fd, true), {}};
}

}  // namespace vexaro::cli
