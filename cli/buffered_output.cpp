#include "cli/buffered_output.h"

#include "platform/utf8.h"

namespace vexaro::cli {
namespace {

constexpr std::size_t kBufferSize = std::size_t{256} << 10;

}  // namespace

BufferedOutput::BufferedOutput(bool terminal) : terminal_(terminal) {
  if (!terminal_) buffer_.reserve(kBufferSize);
}

std::error_code BufferedOutput::Write(std::string_view bytes) {
  if (error_) return error_;
  if (terminal_) {
    buffer_.append(bytes);
    const std::size_t complete = CompleteUtf8Length(buffer_);
    Send(std::string_view(buffer_).substr(0, complete));
    buffer_.erase(0, complete);
    return error_;
  }
  if (buffer_.size() + bytes.size() > kBufferSize) {
    if (Flush()) return error_;
    // A piece larger than the buffer goes out directly instead of being
    // copied in part by part.
    if (bytes.size() >= kBufferSize) return Send(bytes);
  }
  buffer_.append(bytes);
  return {};
}

std::error_code BufferedOutput::Flush() {
  if (error_ || buffer_.empty()) return error_;
  Send(buffer_);
  buffer_.clear();
  return error_;
}

std::error_code BufferedOutput::Close() {
  if (closed_) return closeResult_;
  closed_ = true;
  Flush();
  if (const std::error_code released = ReleaseHandle(); released && !error_) error_ = released;
  closeResult_ = error_;
  if (!error_) error_ = std::make_error_code(std::errc::bad_file_descriptor);  // later writes
  return closeResult_;
}

std::error_code BufferedOutput::Send(std::string_view bytes) {
  if (!error_ && !bytes.empty()) error_ = WriteThrough(bytes);
  return error_;
}

std::size_t CompleteUtf8Length(std::string_view bytes) {
  std::size_t back = 0;
  while (back < 3 && back < bytes.size() && platform::utf8::IsContinuation(bytes[bytes.size() - 1 - back])) {
    ++back;
  }
  if (back == bytes.size()) return bytes.size();
  const auto lead = static_cast<unsigned char>(bytes[bytes.size() - 1 - back]);
  const std::size_t needed = platform::utf8::SequenceLength(lead);
  return needed > back + 1 ? bytes.size() - 1 - back : bytes.size();
}

}  // namespace vexaro::cli
