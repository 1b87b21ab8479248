// The Linux window: one window on one thread; the listing yields to the
// message loop while it works.

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <string_view>

#include "platform/clipboard_keeper.h"
#include "platform/qt/qt_facilities.h"
#include "platform/system.h"
#include "ui/main_window.h"
#include "ui/qt/main_window.h"

int main(int argc, char* argv[]) {
  if (argc > 1 && argv[1] == vexaro::platform::kServeClipboardOption) {
    return vexaro::platform::ServeClipboard(argc, argv);
  }
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
