#include <QMessageBox>

#include "platform/qt/qt_facilities.h"

namespace vexaro::platform {
namespace {

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

void QtMessageDialog::ShowInformation(std::string_view text, std::string_view title) {
  QMessageBox box(QMessageBox::Information, FromUtf8(title), FromUtf8(text), QMessageBox::Ok, &parent_);
  box.setTextFormat(Qt::PlainText);  // a message may quote a name with '<' in it
  box.exec();
}

}  // namespace vexaro::platform
