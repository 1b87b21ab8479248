#pragma once
// A modal information box with one OK button.

#include <string_view>

namespace vexaro::platform {

class MessageDialog {
 public:
  virtual ~MessageDialog() = default;
  // Shows `text` (may hold line breaks) under `title` with the information
  // icon, modal to the main window; returns when the user has closed it.
  virtual void ShowInformation(std::string_view text, std::string_view title) = 0;
};

}  // namespace vexaro::platform
