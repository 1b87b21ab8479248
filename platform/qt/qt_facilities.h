#pragma once
// The window facilities on Qt: clipboard, message box, folder dialog and
// path fitting in a widget's font. Only the Qt front end includes this; the
// interfaces themselves stay free of toolkit types.

#include <string>

#include "platform/clipboard.h"
#include "platform/folder_picker.h"
#include "platform/message_dialog.h"
#include "platform/text_fit.h"

class QWidget;

namespace vexaro::platform {

// The system clipboard (CLIPBOARD selection on X11).
class QtClipboard final : public Clipboard {
 public:
  std::error_code Clear() override;
  // Offers the UTF-8 bytes as they are, as plain text: no wide-character
  // copy of a listing that may run to many megabytes.
  std::error_code SetText(std::string_view text) override;
};

class QtMessageDialog final : public MessageDialog {
 public:
  explicit QtMessageDialog(QWidget& parent) : parent_(parent) {}
  void ShowInformation(std::string_view text, std::string_view title) override;

 private:
  QWidget& parent_;
};

class QtFolderPicker final : public FolderPicker {
 public:
  explicit QtFolderPicker(QWidget& parent) : parent_(parent) {}
  // The prompt is the dialog's title. The dialog opens where the previous
  // choice was made (the home folder at first); nothing is kept across runs.
  std::optional<std::string> PickFolder(std::string_view prompt) override;

 private:
  QWidget& parent_;
  std::string lastFolder_;
};

// Measures in the widget's font as it stands at each call, so that a change
// of font changes the fitting.
class QtPathFitter final : public PathFitter {
 public:
  QtPathFitter(const QWidget& widget, char separator) : widget_(widget), separator_(separator) {}
  std::string FitPath(std::string_view utf8, int maxWidth) override;

 private:
  const QWidget& widget_;
  char separator_;
};

}  // namespace vexaro::platform
