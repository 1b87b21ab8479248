#include <QFontMetrics>
#include <QWidget>

#include "platform/qt/qt_facilities.h"

namespace vexaro::platform {
namespace {

class FontMeasure final : public TextMeasure {
 public:
  explicit FontMeasure(const QFont& font) : metrics_(font) {}
  int Width(std::string_view utf8) const override {
    return metrics_.horizontalAdvance(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
  }

 private:
  QFontMetrics metrics_;
};

}  // namespace

std::string QtPathFitter::FitPath(std::string_view utf8, int maxWidth) {
  return FitPathEllipsis(utf8, maxWidth, FontMeasure(widget_.font()), separator_);
}

}  // namespace vexaro::platform
