#pragma once
// The platform's folder dialog.

#include <optional>
#include <string>
#include <string_view>

namespace vexaro::platform {

class FolderPicker {
 public:
  virtual ~FolderPicker() = default;
  // Lets the user choose one file-system folder, modal to the main window,
  // with `prompt` shown above the choice. Returns the folder's path (UTF-8,
  // with or without a trailing separator) or nullopt when cancelled.
  virtual std::optional<std::string> PickFolder(std::string_view prompt) = 0;
};

}  // namespace vexaro::platform
