#pragma once
// The main window's behaviour, shared by every front end: the five command
// buttons, the run over the folder list, the run flag, the message box and
// the progress line. A toolkit view shows it (see MainWindowView).

#include <chrono>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "engine/host.h"
#include "platform/absolute_path.h"
#include "platform/clipboard.h"
#include "platform/folder_picker.h"
#include "platform/message_dialog.h"
#include "platform/system.h"
#include "platform/text_fit.h"
#include "ui/main_window_view.h"

namespace vexaro::ui {

inline constexpr std::string_view kTitle = "Vexaro";
inline constexpr std::string_view kClipboardCleared = "Clipboad Cleared";
inline constexpr std::string_view kSendData = "Send Data to Clipboard";
inline constexpr std::string_view kFolderPrompt = "フォルダを選択してください";
inline constexpr std::string_view kSentLine1 = "ファイル名のリストを";
inline constexpr std::string_view kSentLine2 = "クリップ・ボードに転送しました。";
inline constexpr std::string_view kNotSent = "クリップ・ボードに転送できませんでした。";

// The platform facilities the window uses besides its own controls.
struct Facilities {
  platform::System& system;  // for the listing job; its line end also breaks message lines
  platform::Clipboard& clipboard;
  platform::MessageDialog& messages;
  platform::FolderPicker& picker;
  platform::PathFitter& fitter;  // measures in the progress line's font
  // Threads that read folders ahead of the listing: 0 follows the cores, 1
  // means none (tests whose fakes act on the window's own thread).
  unsigned threads = 0;
  // Tells folders from links where a ".." in a given folder is taken out.
  platform::IsPlainFolder isPlainFolder = platform::IsPlainFolderOnDisk;
};

class MainWindowLogic final : public engine::ProgressDisplay, public engine::StopRequest {
 public:
  using MonotonicClock = std::function<std::chrono::steady_clock::time_point()>;

  // The message loop is given a turn at most this often while a listing
  // runs: often enough that STOP answers at once and the labels keep up,
  // seldom enough that a million yields cost next to nothing.
  static constexpr std::chrono::milliseconds kYieldInterval{15};
  // The progress line changes at most this often: enough to follow, and each
  // change costs a fitting and a repaint.
  static constexpr std::chrono::milliseconds kPathInterval{60};

  MainWindowLogic(MainWindowView& view, Facilities facilities, MonotonicClock clock = &std::chrono::steady_clock::now);
  MainWindowLogic(const MainWindowLogic&) = delete;
  MainWindowLogic& operator=(const MainWindowLogic&) = delete;

  // Once, before the window is first shown.
  void Form_Load();
  // Start: lists every folder of the list and hands the text to the clipboard.
  void Command1_Click();
  // STOP: ends the listing of the current start folder.
  void Command2_Click();
  // Quit.
  void Command3_Click();
  // Add Folder.
  void Command4_Click();
  // Delete Selected: removes the marked rows.
  void Command5_Click();
  // Lets the user choose a folder and adds it to the list.
  void GetPathName();
  // Folders handed to the window by name (its command line, a drop), added
  // in the order given as Add Folder adds: made absolute against `current`
  // (the current folder; empty when unknown, which leaves out what depends
  // on it), ending with one separator, twice if given twice. Whatever is not
  // a folder is left out, and nothing is added during a run.
  void AddFolders(std::span<const std::string> paths, std::string_view current = {});
  // The window is being closed through its title bar. The view lets it go
  // away at once; while a listing runs, the listing is stopped, nothing more
  // is shown and the program ends as soon as the Start handler has unwound.
  void WindowClosing();

  // engine::ProgressDisplay
  void SetStatus(std::string_view caption) override;
  void DispListFile(std::string_view strTempText) override;
  void Yield() override;
  // engine::StopRequest: STOP or closing the window clears the run flag.
  bool Requested() const override { return !blnContinue_; }

  // A modal message; returns when the user has closed it.
  void MessageDisp(std::string_view Msg);

  // The listing text of the last run; kept until the next Start.
  const std::string& strListText() const { return strListText_; }
  bool running() const { return running_; }

 private:
  void ShowPendingPath();

  MainWindowView& view_;
  Facilities facilities_;
  MonotonicClock clock_;
  std::string strListText_;
  bool blnContinue_ = false;  // set for each start folder
  bool running_ = false;
  bool closing_ = false;
  std::chrono::steady_clock::time_point lastTurn_{};
  std::chrono::steady_clock::time_point lastPath_{};
  // The progress line is fitted only when it can be seen, at a turn of the
  // message loop, before a message and at the end of a run: fitting measures
  // text, and the listing names far more folders than can be painted.
  std::string pendingPath_;
  bool pathPending_ = false;
};

}  // namespace vexaro::ui
