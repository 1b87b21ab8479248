#pragma once
// The window facilities on Win32: clipboard, message box, folder picker and
// path fitting in a control's font. Only the Win32 front end and its tests
// include this; the interfaces themselves stay free of Win32 types. A window
// is named by its handle, declared here without <windows.h>.

#include <chrono>
#include <optional>
#include <string>

#include "platform/clipboard.h"
#include "platform/folder_picker.h"
#include "platform/message_dialog.h"
#include "platform/text_fit.h"

struct HWND__;

namespace vexaro::platform::win32 {

using WindowHandle = HWND__*;

// The system clipboard. `owner` is the window that owns what is put on it
// (the system refuses text without an owner). Another program may hold the
// clipboard open for a moment; it is asked again for up to `patience`
// before the call fails with the system's reason.
class Win32Clipboard final : public Clipboard {
 public:
  explicit Win32Clipboard(WindowHandle owner, std::chrono::milliseconds patience = std::chrono::milliseconds(500))
      : owner_(owner), patience_(patience) {}
  std::error_code Clear() override;
  // As CF_UNICODETEXT; the system offers the other text forms from it.
  std::error_code SetText(std::string_view text) override;

 private:
  std::error_code Open();
  WindowHandle owner_;
  std::chrono::milliseconds patience_;
};

// MessageBoxW with the information icon and one OK button, modal to `owner`.
class Win32MessageDialog final : public MessageDialog {
 public:
  explicit Win32MessageDialog(WindowHandle owner) : owner_(owner) {}
  void ShowInformation(std::string_view text, std::string_view title) override;

 private:
  WindowHandle owner_;
};

// The shell's folder dialog (SHBrowseForFolderW): modal to `owner`, the
// whole namespace, only file-system folders can be confirmed. The caller's
// thread must have COM initialised as a single-threaded apartment.
class Win32FolderPicker final : public FolderPicker {
 public:
  explicit Win32FolderPicker(WindowHandle owner) : owner_(owner) {}
  std::optional<std::string> PickFolder(std::string_view prompt) override;

 private:
  WindowHandle owner_;
};

// Fits a path into a width in the font that `control` shows its text in at
// the moment of the call: the system's path-ellipsis rule (DrawTextW on a
// memory device context), shortened further where that rule leaves the text
// wider than the width (a last component that alone does not fit).
class Win32PathFitter final : public PathFitter {
 public:
  Win32PathFitter(WindowHandle control, char separator) : control_(control), separator_(separator) {}
  std::string FitPath(std::string_view utf8, int maxWidth) override;

 private:
  WindowHandle control_;
  char separator_;
};

}  // namespace vexaro::platform::win32
