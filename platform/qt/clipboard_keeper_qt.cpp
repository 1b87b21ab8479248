#include <fcntl.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/clipboard_keeper.h"
#include "platform/linux/detached_process.h"
#include "platform/qt/qt_facilities.h"

namespace vexaro::platform {
namespace {

constexpr std::chrono::seconds kServerStartLimit{10};
constexpr std::chrono::seconds kOwnerCheckInterval{5};

// The X11 side: whether this client's window still owns CLIPBOARD (a
// SelectionClear this program has not handled yet would leave Qt believing
// so), and whether a clipboard manager runs.
struct X11Clipboard {
  bool ownedHere = false;
  bool manager = false;
};

xcb_window_t SelectionOwner(xcb_connection_t* connection, const char* name) {
  const auto cookie =
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::char_traits<char>::length(name)), name);
  std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
      xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
  if (!atom) return XCB_NONE;
  std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
      xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr), &std::free);
  return owner ? owner->owner : XCB_NONE;
}

X11Clipboard AskX11(xcb_connection_t* connection) {
  X11Clipboard result;
  const xcb_setup_t* setup = xcb_get_setup(connection);
  const xcb_window_t owner = SelectionOwner(connection, "CLIPBOARD");
  // Every window this client makes has an id from its own range.
  result.ownedHere = owner != XCB_NONE && (owner & ~setup->resource_id_mask) == setup->resource_id_base;
  result.manager = SelectionOwner(connection, "CLIPBOARD_MANAGER") != XCB_NONE;
  return result;
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      return text;
    }
  }
}

}  // namespace

ClipboardKept KeepClipboardAfterExit() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  const QMimeData* data = clipboard->ownsClipboard() ? clipboard->mimeData(QClipboard::Clipboard) : nullptr;
  if (data == nullptr || !data->hasFormat(QStringLiteral("text/plain"))) return ClipboardKept::NotOwned;

  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("xcb")) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) return ClipboardKept::Lost;
    const X11Clipboard state = AskX11(x11->connection());
    if (!state.ownedHere) return ClipboardKept::NotOwned;
    // Qt hands the text to the manager itself as the application ends.
    if (state.manager) return ClipboardKept::Manager;
  } else if (platform.startsWith(QLatin1String("wayland"))) {
    // A process without a window cannot take the Wayland clipboard; through
    // Xwayland it takes the X11 one, which the desktop passes on.
    if (qEnvironmentVariableIsEmpty("DISPLAY")) return ClipboardKept::Lost;
  } else {
    return ClipboardKept::Lost;
  }

  const QByteArray text = data->data(QStringLiteral("text/plain"));
  const std::vector<std::string> args{"vexaro", std::string(kServeClipboardOption), "-platform", "xcb"};
  const std::error_code error = posix::StartDetached(
      "/proc/self/exe", args, std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
      kServerStartLimit);
  return error ? ClipboardKept::Lost : ClipboardKept::Server;
}

int ServeClipboard(int argc, char** argv) {
  // Not a program of the session: the session manager is not to restart it,
  // nor the desktop to wait for a window from it.
  ::unsetenv("SESSION_MANAGER");
  ::unsetenv("DESKTOP_STARTUP_ID");
  ::unsetenv("XDG_ACTIVATION_TOKEN");
  std::string text = ReadAll(STDIN_FILENO);

  QGuiApplication app(argc, argv);
  QClipboard* clipboard = QGuiApplication::clipboard();
  QtClipboard owner;
  if (owner.SetText(text)) return 1;
  text = std::string();  // the clipboard has its own copy

  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr) return 1;
  xcb_connection_t* connection = x11->connection();
  // Ready only once the X server says so: the program that started this one
  // ends on the word.
  if (!AskX11(connection).ownedHere) return 1;

  // Qt alone does not tell: after another program has emptied the clipboard
  // it still believes it owns it. The X server is asked instead, at each
  // change Qt reports, and now and then in case a change goes unreported.
  auto quitOnceTaken = [connection] {
    if (!AskX11(connection).ownedHere) QCoreApplication::quit();
  };
  QObject::connect(clipboard, &QClipboard::changed, &app, [quitOnceTaken](QClipboard::Mode mode) {
    if (mode == QClipboard::Clipboard) quitOnceTaken();
  });
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &app, quitOnceTaken);
  check.start(kOwnerCheckInterval);
  const char ready = '1';
  if (::write(STDOUT_FILENO, &ready, 1) != 1) return 1;
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  ::dup2(null, STDOUT_FILENO);
  ::close(null);
  return QGuiApplication::exec();
}

}  // namespace vexaro::platform
