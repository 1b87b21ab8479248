// The Linux window: one window on one thread; the listing yields to the
// message loop while it works.

#include <QApplication>
#include <QIcon>

#include "platform/qt_facilities.h"
#include "platform/system.h"
#include "ui/main_window.h"
#include "ui/qt/main_window.h"

int main(int argc, char* argv[]) {
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
  return QApplication::exec();
}
