#include <QDir>
#include <QFileDialog>

#include "platform/qt/qt_facilities.h"

namespace vexaro::platform {

std::optional<std::string> QtFolderPicker::PickFolder(std::string_view prompt) {
  const QString start = lastFolder_.empty() ? QDir::homePath() : QString::fromStdString(lastFolder_);
  // Only folders can be chosen. Links are not resolved: the folder is listed
  // under the path the user chose.
  const QString chosen = QFileDialog::getExistingDirectory(
      &parent_, QString::fromUtf8(prompt.data(), static_cast<qsizetype>(prompt.size())), start,
      QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
  if (chosen.isEmpty()) return std::nullopt;
  std::string path = QDir::toNativeSeparators(chosen).toStdString();
  lastFolder_ = path;
  return path;
}

}  // namespace vexaro::platform
