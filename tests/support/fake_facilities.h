#pragma once
// In-memory stand-ins for the window's platform facilities: clipboard,
// message box, folder picker and path fitter. Each writes what happens to it
// into a journal that a test may share with its fake window, so that the
// order of events across them can be checked.

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/clipboard.h"
#include "platform/folder_picker.h"
#include "platform/message_dialog.h"
#include "platform/text_fit.h"

namespace vexaro::testing {

using Journal = std::vector<std::string>;

class FakeClipboard final : public platform::Clipboard {
 public:
  explicit FakeClipboard(Journal& journal) : journal_(journal) {}

  std::string text = "earlier content";
  bool refuseClear = false;
  bool refuseText = false;
  int setTextCalls = 0;

  std::error_code Clear() override {
    journal_.emplace_back("clipboard: clear");
    if (refuseClear) return std::make_error_code(std::errc::device_or_resource_busy);
    text.clear();
    return {};
  }
  std::error_code SetText(std::string_view value) override {
    ++setTextCalls;
    journal_.emplace_back("clipboard: set " + std::to_string(value.size()) + " bytes");
    if (refuseText) return std::make_error_code(std::errc::device_or_resource_busy);
    text.assign(value);
    return {};
  }

 private:
  Journal& journal_;
};

class FakeMessages final : public platform::MessageDialog {
 public:
  explicit FakeMessages(Journal& journal) : journal_(journal) {}

  struct Shown {
    std::string text;
    std::string title;
  };
  std::vector<Shown> shown;

  void ShowInformation(std::string_view text, std::string_view title) override {
    shown.push_back({std::string(text), std::string(title)});
    journal_.push_back("message: " + std::string(text));
  }

 private:
  Journal& journal_;
};

class FakePicker final : public platform::FolderPicker {
 public:
  // What the user chooses, one answer per call; nullopt is a cancel.
  std::deque<std::optional<std::string>> answers;
  std::vector<std::string> prompts;

  std::optional<std::string> PickFolder(std::string_view prompt) override {
    prompts.emplace_back(prompt);
    if (answers.empty()) return std::nullopt;
    auto answer = std::move(answers.front());
    answers.pop_front();
    return answer;
  }
};

// Every character (UTF-8 sequence) one pixel wide.
class CharacterMeasure final : public platform::TextMeasure {
 public:
  int Width(std::string_view utf8) const override {
    int n = 0;
    for (char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
  }
};

// Fits with the portable path-ellipsis rule at one pixel per character and
// remembers the widths it was asked for.
class CharacterFitter final : public platform::PathFitter {
 public:
  explicit CharacterFitter(char separator = '\\') : separator_(separator) {}
  std::vector<int> widths;

  std::string FitPath(std::string_view utf8, int maxWidth) override {
    widths.push_back(maxWidth);
    return platform::FitPathEllipsis(utf8, maxWidth, CharacterMeasure(), separator_);
  }

 private:
  char separator_;
};

}  // namespace vexaro::testing
