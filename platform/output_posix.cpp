#include "platform/output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace vexaro::platform {
namespace {

constexpr std::size_t kBufferSize = std::size_t{256} << 10;

std::error_code LastError() { return {errno, std::generic_category()}; }

class FileOutput final : public OutputStream {
 public:
  FileOutput(int fd, bool owned) : fd_(fd), owned_(owned), terminal_(::isatty(fd) == 1) {
    buffer_.reserve(kBufferSize);
  }
  ~FileOutput() override { (void)Close(); }

  FileOutput(const FileOutput&) = delete;
  FileOutput& operator=(const FileOutput&) = delete;

  std::error_code Write(std::string_view bytes) override {
    if (error_) return error_;
    if (buffer_.size() + bytes.size() > kBufferSize) {
      if (Flush()) return error_;
      // A piece larger than the buffer goes out directly instead of being
      // copied in part by part.
      if (bytes.size() >= kBufferSize) return WriteAll(bytes);
    }
    buffer_.append(bytes);
    if (terminal_) return Flush();
    return {};
  }

  std::error_code Flush() override {
    if (error_ || buffer_.empty()) return error_;
    WriteAll(buffer_);
    buffer_.clear();
    return error_;
  }

  std::error_code Close() override {
    if (closed_) return closeResult_;
    closed_ = true;
    Flush();
    if (owned_ && ::close(fd_) != 0 && !error_) error_ = LastError();
    closeResult_ = error_;
    if (!error_) error_ = std::make_error_code(std::errc::bad_file_descriptor);  // later writes
    return closeResult_;
  }

  bool IsTerminal() const override { return terminal_; }

 private:
  std::error_code WriteAll(std::string_view bytes) {
    while (!error_ && !bytes.empty()) {
      const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
      if (written < 0) {
        if (errno != EINTR) error_ = LastError();
        continue;
      }
      bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return error_;
  }

  int fd_;
  bool owned_;
  bool terminal_;
  bool closed_ = false;
  std::error_code closeResult_;
  std::string buffer_;
  std::error_code error_;
};

}  // namespace

std::unique_ptr<OutputStream> OpenStandardOutput() { return std::make_unique<FileOutput>(STDOUT_FILENO, false); }

OutputResult CreateOutputFile(std::string_view path) {
  const std::string name(path);
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return {nullptr, LastError()};
  return {std::make_unique<FileOutput>(fd, true), {}};
}

}  // namespace vexaro::platform
