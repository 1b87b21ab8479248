#pragma once
// The Linux window `Form1`: a thin view over MainWindowLogic. It lays out its
// controls from the twips of the original layout at the screen's resolution
// and forwards clicks and the close request to the logic.

#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

#include "ui/main_window.h"
#include "ui/layout.h"
#include "ui/main_window_view.h"

class QCheckBox;
class QIcon;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace vexaro::ui::qt {

inline constexpr const char* kWindowCaption = "Vexaro Ver 2.8";

// The program's icon in every size it comes in.
QIcon ProgramIcon();

class MainWindow final : public QWidget, public MainWindowView {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(MainWindow)

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // Routes the buttons, dropped folders and the close request to `logic`,
  // which must outlive the window's use.
  void Attach(MainWindowLogic& logic);

  // The progress line, whose font the path fitter measures in.
  const QWidget& pathLabel() const;

  // MainWindowView
  void ShowPage(Page page) override;
  void SetStatusCaption(std::string_view caption) override;
  void SetPathCaption(std::string_view caption) override;
  int PathCaptionWidth() const override;
  int RowCount() const override;
  std::string RowText(int row) const override;
  bool IsRowMarked(int row) const override;
  void RemoveRow(int row) override;
  void AddRow(std::string_view text) override;
  engine::ListingOptions Options() const override;
  void ProcessEvents() override;
  void EndProgram() override;

 signals:
  // The title bar's close box (or the window manager) closes the window.
  void closing();
  // The program is about to leave its main loop.
  void ending();
  // Local files and folders were dropped on the setup page.
  void dropped(const std::vector<std::string>& paths);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QRect ToPixels(const Twips& box) const;
  // Places a control at its box of the layout, at the screen's resolution.
  void Place(QWidget* control, Control id);
  // A self-sizing label keeps its horizontal centre and its top.
  void FitLabel(QLabel* label, int centreX);

  QWidget* m_frame2 = nullptr;
  QWidget* m_frame3 = nullptr;
  QLabel* m_label1 = nullptr;
  QLabel* m_label2 = nullptr;
  QLabel* m_label3 = nullptr;
  QListWidget* m_list1 = nullptr;
  QPushButton* m_command1 = nullptr;
  QPushButton* m_command2 = nullptr;
  QPushButton* m_command3 = nullptr;
  QPushButton* m_command4 = nullptr;
  QPushButton* m_command5 = nullptr;
  QCheckBox* m_checkPath = nullptr;
  QCheckBox* m_checkSize = nullptr;
  QCheckBox* m_checkVolume = nullptr;
  QCheckBox* m_checkDate = nullptr;
  QCheckBox* m_checkByte = nullptr;
  QCheckBox* m_checkFree = nullptr;
  QRadioButton* m_optionTxt = nullptr;
  QRadioButton* m_optionCsv = nullptr;
  int m_label2Centre = 0;
  int m_label3Centre = 0;
  QPointer<QWidget> m_focusBeforeRun;
};

}  // namespace vexaro::ui::qt
