#include <algorithm>
#include <string>

#include "platform/convert_win32.h"
#include "platform/output.h"
#include "platform/windows_win32.h"

namespace vexaro::platform {
namespace {

using win32::LastError;

constexpr std::size_t kBufferSize = std::size_t{256} << 10;

// Length of the longest beginning of `bytes` that does not end inside a
// UTF-8 sequence, so that a character split between two writes reaches the
// console whole.
std::size_t CompleteLength(std::string_view bytes) {
  std::size_t back = 0;
  while (back < 3 && back < bytes.size() && (static_cast<unsigned char>(bytes[bytes.size() - 1 - back]) & 0xC0) == 0x80) {
    ++back;
  }
  if (back == bytes.size()) return bytes.size();
  const auto lead = static_cast<unsigned char>(bytes[bytes.size() - 1 - back]);
  const std::size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return needed > back + 1 ? bytes.size() - 1 - back : bytes.size();
}

class Win32Output final : public OutputStream {
 public:
  Win32Output(HANDLE handle, bool owned) : handle_(handle), owned_(owned) {
    DWORD mode = 0;
    console_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode) != 0;
    if (!console_) buffer_.reserve(kBufferSize);
  }
  ~Win32Output() override { (void)Close(); }

  Win32Output(const Win32Output&) = delete;
  Win32Output& operator=(const Win32Output&) = delete;

  std::error_code Write(std::string_view bytes) override {
    if (error_) return error_;
    if (console_) {
      // A console takes UTF-16, whole characters, at once.
      buffer_.append(bytes);
      const std::size_t complete = CompleteLength(buffer_);
      WriteToConsole(std::string_view(buffer_).substr(0, complete));
      buffer_.erase(0, complete);
      return error_;
    }
    if (buffer_.size() + bytes.size() > kBufferSize) {
      if (Flush()) return error_;
      // A piece larger than the buffer goes out directly.
      if (bytes.size() >= kBufferSize) return WriteAll(bytes);
    }
    buffer_.append(bytes);
    return {};
  }

  std::error_code Flush() override {
    if (error_ || buffer_.empty()) return error_;
    if (console_) {
      WriteToConsole(buffer_);  // a broken sequence at the very end: replaced
    } else {
      WriteAll(buffer_);
    }
    buffer_.clear();
    return error_;
  }

  std::error_code Close() override {
    if (closed_) return closeResult_;
    closed_ = true;
    Flush();
    if (owned_ && !CloseHandle(handle_) && !error_) error_ = LastError();
    closeResult_ = error_;
    if (!error_) error_ = std::make_error_code(std::errc::bad_file_descriptor);  // later writes
    return closeResult_;
  }

  bool IsTerminal() const override { return console_; }

 private:
  std::error_code WriteAll(std::string_view bytes) {
    if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE) {
      error_ = win32::Win32Error(ERROR_INVALID_HANDLE);
      return error_;
    }
    while (!error_ && !bytes.empty()) {
      const auto size = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
      DWORD written = 0;
      if (!WriteFile(handle_, bytes.data(), size, &written, nullptr)) {
        error_ = LastError();
      } else if (written == 0) {
        error_ = std::make_error_code(std::errc::io_error);
      }
      bytes.remove_prefix(written);
    }
    return error_;
  }

  void WriteToConsole(std::string_view utf8) {
    const std::wstring text = win32::Widen(utf8);
    std::wstring_view rest = text;
    while (!error_ && !rest.empty()) {
      const auto size = static_cast<DWORD>(std::min<std::size_t>(rest.size(), 8192));
      DWORD written = 0;
      if (!WriteConsoleW(handle_, rest.data(), size, &written, nullptr)) {
        error_ = LastError();
      } else if (written == 0) {
        error_ = std::make_error_code(std::errc::io_error);
      }
      rest.remove_prefix(written);
    }
  }

  HANDLE handle_;
  bool owned_;
  bool console_ = false;
  bool closed_ = false;
  std::error_code closeResult_;
  std::string buffer_;
  std::error_code error_;
};

}  // namespace

std::unique_ptr<OutputStream> OpenStandardOutput() {
  return std::make_unique<Win32Output>(GetStdHandle(STD_OUTPUT_HANDLE), false);
}

OutputResult CreateOutputFile(std::string_view path) {
  const std::wstring name = win32::ExtendedPath(path);
  HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {nullptr, LastError()};
  return {std::make_unique<Win32Output>(file, true), {}};
}

}  // namespace vexaro::platform
