#pragma once
// In-memory window facilities. Clipboard and message box write into a
// journal a test may share with its fake window, to check the order of events.

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/clipboard.h"
#include "platform/folder_picker.h"
#include "platform/message_dialog.h"
#include "platform/text_fit.h"
#include "platform/utf8.h"

namespace vexaro::testing {

using Journal = std::vector<std::string>;

struct FakeClipboard final : platform::Clipboard {
  explicit FakeClipboard(Journal& journal) : journal(journal) {}
  std::error_code Clear() override { return Put("clear", "", refuseClear); }
  std::error_code SetText(std::string_view value) override {
    return Put(std::to_string(value.size()) + " bytes", value, refuseText);
  }
  std::error_code Put(std::string what, std::string_view value, bool refused) {
    journal.push_back(what.insert(0, "clipboard: "));
    if (refused) return std::make_error_code(std::errc::device_or_resource_busy);
    text = value;
    return {};
  }
  Journal& journal;
  std::string text = "earlier content";
  bool refuseClear = false, refuseText = false;
};

struct FakeMessages final : platform::MessageDialog {
  explicit FakeMessages(Journal& journal) : journal(journal) {}
  void ShowInformation(std::string_view text, std::string_view title) override {
    shown.push_back({std::string(text), std::string(title)});
    journal.push_back(std::string(text).insert(0, "message: "));
  }
  struct Shown {
    std::string text, title;
  };
  std::vector<Shown> shown;
  Journal& journal;
};

struct FakePicker final : platform::FolderPicker {
  std::optional<std::string> PickFolder(std::string_view prompt) override {
    prompts.emplace_back(prompt);
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<std::optional<std::string>> answers;  // nullopt: cancelled
  std::vector<std::string> prompts;
};

// The portable path-ellipsis rule at one pixel per character; remembers the
// widths asked for.
struct CharacterFitter final : platform::PathFitter, platform::TextMeasure {
  std::string FitPath(std::string_view utf8, int maxWidth) override {
    widths.push_back(maxWidth);
    return platform::FitPathEllipsis(utf8, maxWidth, *this, '\\');
  }
  int Width(std::string_view utf8) const override {
    int n = 0;
    for (char c : utf8) n += !platform::utf8::IsContinuation(c);
    return n;
  }
  std::vector<int> widths;
};

}  // namespace vexaro::testing
