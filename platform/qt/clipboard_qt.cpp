#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "platform/qt/qt_facilities.h"

namespace vexaro::platform {

std::error_code QtClipboard::Clear() {
  QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
  return {};
}

std::error_code QtClipboard::SetText(std::string_view text) {
#if defined(__GLIBC__)
  // The clipboard keeps its own copy of the text. What the job that made
  // the text has freed goes back to the system first, rather than stay with
  // the C library beside the two copies.
  malloc_trim(0);
#endif
  QClipboard* clipboard = QGuiApplication::clipboard();
  auto* data = new QMimeData;  // the clipboard takes it over
  // text/plain holds UTF-8; the X11 clipboard serves these very bytes for
  // UTF8_STRING requests, so one copy of the listing is all it keeps.
  data->setData(QStringLiteral("text/plain"), QByteArray(text.data(), static_cast<qsizetype>(text.size())));
  clipboard->setMimeData(data, QClipboard::Clipboard);
  // Handing the data over cannot fail by itself; that this program now owns
  // the clipboard is what tells success. When another program keeps it, the
  // clipboard answers with that program's data instead.
  if (clipboard->mimeData(QClipboard::Clipboard) != data) {
    return std::make_error_code(std::errc::device_or_resource_busy);
  }
  return {};
}

}  // namespace vexaro::platform
