#pragma once
// A push button whose caption breaks between words when it is wider than
// the button, as a narrow two-line button needs ("Delete Selected").

#include <QPushButton>

namespace vexaro::ui::qt {

class WrappingButton final : public QPushButton {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(WrappingButton)

 public:
  explicit WrappingButton(const QString& text, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace vexaro::ui::qt
