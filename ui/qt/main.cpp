// The Linux window: one window on one thread; the listing yields to the
// message loop while it works.

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "generated/about.h"
#include "platform/absolute_path.h"
#include "platform/clipboard_keeper.h"
#include "platform/qt/qt_facilities.h"
#include "platform/system.h"
#include "ui/main_window.h"
#include "ui/qt/main_window.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: vexaro [toolkit options] [--] [FOLDER...]\n"
    "Opens the window that lists every file below chosen folders and puts the\n"
    "listing on the clipboard. It needs a display (X11 or Wayland);\n"
    "vexaro-list writes the same listing without one.\n"
    "\n"
    "Each FOLDER given becomes a row of the folder list, as Add Folder makes\n"
    "it; whatever is not a folder is left out, and nothing starts until Start\n"
    "is pressed. Folders dropped on the window join the list the same way.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "The window toolkit's own options, such as -platform NAME and -display\n"
    "DISPLAY (X11), are accepted.\n";

// Writes to standard output; the exit status.
int Print(std::string_view text) {
  const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  return std::fflush(stdout) == 0 && written ? EXIT_SUCCESS : EXIT_FAILURE;
}

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// What ends the program before the window toolkit starts: --help and
// --version, which need no display, and a missing display, which the toolkit
// would meet by aborting. Where the toolkit is told which platform to use
// (QT_QPA_PLATFORM, -platform, -display), it is left to decide.
std::optional<int> EndsBeforeTheWindow(int argc, char* argv[]) {
  bool platformNamed = Set("QT_QPA_PLATFORM");
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") break;  // folders only from here on
    if (arg == "-h" || arg == "--help") return Print(kUsage);
    if (arg == "--version") {
      return Print(std::string("vexaro ").append(vexaro::kVersion).append("\n").append(vexaro::kCopyrightAndLicence));
    }
    if (arg == "-platform" || arg == "-display") platformNamed = true;
  }
  if (!platformNamed && !Set("DISPLAY") && !Set("WAYLAND_DISPLAY")) {
    std::fputs("vexaro: cannot open a display (DISPLAY and WAYLAND_DISPLAY are unset); vexaro-list lists without one\n",
               stderr);
    return EXIT_FAILURE;
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc > 1 && argv[1] == vexaro::platform::kServeClipboardOption) {
    return vexaro::platform::ServeClipboard(argc, argv);
  }
  if (const std::optional<int> status = EndsBeforeTheWindow(argc, argv)) return *status;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vexaro"));
  QApplication::setDesktopFileName(QStringLiteral("vexaro"));
  QApplication::setWindowIcon(vexaro::ui::qt::ProgramIcon());
  // The logic decides when the program ends (a run must unwind first).
  QApplication::setQuitOnLastWindowClosed(false);

  vexaro::ui::qt::MainWindow window;
  const auto system = vexaro::platform::MakeHostSystem();
  vexaro::platform::QtClipboard clipboard;
  vexaro::platform::QtMessageDialog messages(window);
  vexaro::platform::QtFolderPicker picker(window);
  vexaro::platform::QtPathFitter fitter(window.pathLabel(), system->conventions().separator);
  vexaro::ui::MainWindowLogic logic(window, {*system, clipboard, messages, picker, fitter});
  window.Attach(logic);

  logic.Form_Load();
  // What is left once the toolkit has taken its own options are folders, as
  // the file manager hands them over (%F). Their bytes are kept as given.
  std::vector<std::string> folders(argv + 1, argv + argc);
  if (!folders.empty() && folders.front() == "--") folders.erase(folders.begin());
  if (!folders.empty()) logic.AddFolders(folders, vexaro::platform::CurrentFolder().path);
  window.show();
  const int status = QApplication::exec();
  // The listing stays on the clipboard after the program has gone, as it
  // does on Windows. The window goes first: handing over may take a moment.
  window.hide();
  if (vexaro::platform::KeepClipboardAfterExit() == vexaro::platform::ClipboardKept::Lost) {
    std::fputs("vexaro: the listing could not be kept on the clipboard after the program ended\n", stderr);
  }
  return status;
}
