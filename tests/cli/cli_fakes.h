#pragma once
// A console and an output stream in memory, for driving the listing run.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/console.h"
#include "platform/output.h"

namespace vexaro::testing {

class FakeConsole final : public platform::Console {
 public:
  std::string err;  // everything written to standard error
  bool terminal = false;
  std::optional<int> columns = 80;
  bool interrupted = false;

  bool IsTerminal() const override { return terminal; }
  std::optional<int> Columns() const override { return columns; }
  void Write(std::string_view utf8) override { err.append(utf8); }
  bool Interrupted() const override { return interrupted; }
};

class FakeOutput final : public platform::OutputStream {
 public:
  std::string bytes;  // what was written
  bool terminal = false;
  int closes = 0;
  // Writes fail with this error once `bytes` would grow beyond `room`.
  std::size_t room = std::string::npos;
  std::error_code failure = std::make_error_code(std::errc::no_space_on_device);
  int writes = 0;
  int writesAfterFailure = 0;

  std::error_code Write(std::string_view data) override {
    ++writes;
    if (error_) {
      ++writesAfterFailure;
      return error_;
    }
    if (room != std::string::npos && bytes.size() + data.size() > room) {
      bytes.append(data.substr(0, room - bytes.size()));
      error_ = failure;
      return error_;
    }
    bytes.append(data);
    return {};
  }
  std::error_code Flush() override { return error_; }
  std::error_code Close() override {
    ++closes;
    return error_;
  }
  bool IsTerminal() const override { return terminal; }
  bool failed() const { return static_cast<bool>(error_); }

 private:
  std::error_code error_;
};

}  // namespace vexaro::testing
