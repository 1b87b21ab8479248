#include "ui/qt/main_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPalette>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyleOptionButton>

#include <algorithm>

#include "ui/fit_path.h"
#include "ui/layout.h"
#include "ui/qt/wrapping_button.h"

// Resources of a static library are registered by hand.
static void RegisterIconResources() { Q_INIT_RESOURCE(icons); }

namespace vexaro::ui::qt {
namespace {

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The local paths a drag carries, in the file system's encoding.
std::vector<std::string> LocalPaths(const QMimeData& data) {
  std::vector<std::string> paths;
  for (const QUrl& url : data.urls()) {
    if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  }
  return paths;
}

// The window's font. The layout was drawn for a 9-point face: a desktop
// font of another size would make captions overflow their fixed boxes.
QFont WindowFont() {
  QFont font = QApplication::font();
  font.setPointSize(9);
  return font;
}

// `Label2`'s own font, with a Japanese face of this system where the
// original one is missing.
QFont StatusFont() {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("Noto Sans CJK JP"),
                    QStringLiteral("IPAPGothic"), QStringLiteral("VL PGothic")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(10.5);
  font.setWeight(QFont::Bold);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;
}

// The application's style, with the mark of a check box or option button
// drawn inside the control's box: the box is the layout's, often lower than
// the style's mark, and the gap before the caption narrows where the caption
// would otherwise run past the box's right edge.
class BoxedMarkStyle final : public QProxyStyle {
 public:
  explicit BoxedMarkStyle(const QString& key) : QProxyStyle(key) {}

  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    const int metricHere = QProxyStyle::pixelMetric(metric, option, widget);
    const QRect box = option != nullptr ? option->rect : widget != nullptr ? widget->rect() : QRect();
    if (box.isEmpty()) return metricHere;
    switch (metric) {
      case PM_IndicatorWidth:
      case PM_IndicatorHeight:
      case PM_ExclusiveIndicatorWidth:
      case PM_ExclusiveIndicatorHeight:
        return std::min(metricHere, box.height());
      case PM_CheckBoxLabelSpacing:
      case PM_RadioButtonLabelSpacing: {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (button == nullptr) return metricHere;
        const PixelMetric mark = metric == PM_CheckBoxLabelSpacing ? PM_IndicatorWidth : PM_ExclusiveIndicatorWidth;
        const int room =
            box.width() - pixelMetric(mark, option, widget) - button->fontMetrics.horizontalAdvance(button->text);
        // A third of the style's gap at the least, so that mark and caption
        // never touch.
        return std::clamp(room, std::max(1, metricHere / 3), std::max(1, metricHere));
      }
      default:
        return metricHere;
    }
  }
};

}  // namespace

QIcon ProgramIcon() {
  RegisterIconResources();
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/icons/vexaro-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromUtf8(kWindowCaption));
  // Fixed border: no maximise button; minimise and close stay.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowIcon(ProgramIcon());
  setFont(WindowFont());

  // The two pages share one place (the original layout kept the setup page
  // lower down and moved it up at load; here both start in place).
  m_frame2 = new QWidget(this);
  m_frame2->setObjectName(QStringLiteral("Frame2"));
  Place(m_frame2, Control::Frame2);
  m_frame3 = new QWidget(this);
  m_frame3->setObjectName(QStringLiteral("Frame3"));
  Place(m_frame3, Control::Frame3);

  m_label3 = new QLabel(QString::fromLatin1(kCredit), this);
  m_label3->setObjectName(QStringLiteral("Label3"));
  m_label3->setTextFormat(Qt::PlainText);
  m_label3->setAlignment(Qt::AlignCenter);
  Place(m_label3, Control::Label3);
  m_label3Centre = m_label3->geometry().center().x();
  FitLabel(m_label3, m_label3Centre);

  // The progress page.
  m_command2 = new QPushButton(QStringLiteral("STOP"), m_frame2);
  m_command2->setObjectName(QStringLiteral("Command2"));
  Place(m_command2, Control::Command2);
  m_label2 = new QLabel(QStringLiteral("Listing Folders"), m_frame2);
  m_label2->setObjectName(QStringLiteral("Label2"));
  m_label2->setTextFormat(Qt::PlainText);
  m_label2->setAlignment(Qt::AlignCenter);
  m_label2->setFont(StatusFont());
  Place(m_label2, Control::Label2);
  m_label2Centre = m_label2->geometry().center().x();
  FitLabel(m_label2, m_label2Centre);
  m_label1 = new QLabel(m_frame2);
  m_label1->setObjectName(QStringLiteral("Label1"));
  m_label1->setTextFormat(Qt::PlainText);
  m_label1->setAlignment(Qt::AlignCenter);
  Place(m_label1, Control::Label1);

  // The setup page.
  m_list1 = new QListWidget(m_frame3);
  m_list1->setObjectName(QStringLiteral("List1"));
  // A click or the space bar toggles one entry's mark and leaves the others.
  m_list1->setSelectionMode(QAbstractItemView::MultiSelection);
  QPalette listPalette = m_list1->palette();
  listPalette.setColor(QPalette::Base, QColor(224, 224, 224));
  m_list1->setPalette(listPalette);
  Place(m_list1, Control::List1);

  m_command4 = new QPushButton(QStringLiteral("Add Folder"), m_frame3);
  m_command4->setObjectName(QStringLiteral("Command4"));
  Place(m_command4, Control::Command4);
  m_command5 = new WrappingButton(QStringLiteral("Delete Selected"), m_frame3);
  m_command5->setObjectName(QStringLiteral("Command5"));
  Place(m_command5, Control::Command5);
  m_command1 = new QPushButton(QStringLiteral("Start"), m_frame3);
  m_command1->setObjectName(QStringLiteral("Command1"));
  Place(m_command1, Control::Command1);
  m_command3 = new QPushButton(QStringLiteral("Quit"), m_frame3);
  m_command3->setObjectName(QStringLiteral("Command3"));
  Place(m_command3, Control::Command3);

  // A child of the window made after the pages, so that it outlives the
  // controls drawn with it when the window's children are deleted.
  auto* boxedStyle = new BoxedMarkStyle(QApplication::style()->name());
  boxedStyle->setParent(this);
  auto check = [this, boxedStyle](QCheckBox*& box, Control id) {
    const ControlLayout& row = *FindLayout(id);
    box = new QCheckBox(QString::fromLatin1(row.caption), m_frame3);
    box->setObjectName(QString::fromLatin1(row.name));
    box->setChecked(true);
    box->setStyle(boxedStyle);
    Place(box, id);
  };
  check(m_checkPath, Control::CheckPath);
  check(m_checkSize, Control::CheckSize);
  check(m_checkVolume, Control::CheckVolume);
  check(m_checkDate, Control::CheckDate);
  check(m_checkByte, Control::CheckByte);
  check(m_checkFree, Control::CheckFree);

  // One container, one group: choosing one clears the other.
  m_optionTxt = new QRadioButton(QStringLiteral("TXT"), m_frame3);
  m_optionTxt->setObjectName(QStringLiteral("OptionTXT"));
  m_optionTxt->setChecked(true);
  m_optionTxt->setStyle(boxedStyle);
  Place(m_optionTxt, Control::OptionTXT);
  m_optionCsv = new QRadioButton(QStringLiteral("CSV"), m_frame3);
  m_optionCsv->setObjectName(QStringLiteral("OptionCSV"));
  m_optionCsv->setStyle(boxedStyle);
  Place(m_optionCsv, Control::OptionCSV);
  // Tab enters the group at its chosen button, as option groups do.
  m_optionTxt->installEventFilter(this);
  m_optionCsv->installEventFilter(this);

  // Enter presses the focused button and no other; with no default button,
  // Escape presses none.
  for (QPushButton* button : {m_command1, m_command2, m_command3, m_command4, m_command5}) {
    button->setAutoDefault(true);
    button->setDefault(false);
  }

  // Keyboard order: the layout's, the progress page's STOP first. Hidden
  // controls drop out of it by themselves.
  QWidget* previous = nullptr;
  for (const ControlLayout& row : kLayout) {
    QWidget* control = findChild<QWidget*>(QString::fromLatin1(row.name));
    if (control == nullptr || control->focusPolicy() == Qt::NoFocus) continue;
    if (previous != nullptr) setTabOrder(previous, control);
    previous = control;
  }

  // The client area as the original load step left it: the page band and
  // the credit line below it.
  const QRect client = ToPixels(kClientArea);
  setFixedSize(client.size());
  // Centred on the screen; the title bar is the window manager's, so the
  // client area is what is centred.
  if (const QScreen* where = screen()) {
    move(where->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  }
  m_frame2->hide();
  m_list1->setFocus();
  // Folders dropped anywhere on the window join the list while it is idle.
  setAcceptDrops(true);
}

MainWindow::~MainWindow() = default;

const QWidget& MainWindow::pathLabel() const { return *m_label1; }

void MainWindow::Attach(MainWindowLogic& logic) {
  connect(m_command1, &QPushButton::clicked, this, [&logic] { logic.Command1_Click(); });
  connect(m_command2, &QPushButton::clicked, this, [&logic] { logic.Command2_Click(); });
  connect(m_command3, &QPushButton::clicked, this, [&logic] { logic.Command3_Click(); });
  connect(m_command4, &QPushButton::clicked, this, [&logic] { logic.Command4_Click(); });
  connect(m_command5, &QPushButton::clicked, this, [&logic] { logic.Command5_Click(); });
  connect(this, &MainWindow::closing, this, [&logic] { logic.WindowClosing(); });
  connect(this, &MainWindow::dropped, this,
          [&logic](const std::vector<std::string>& paths) { logic.AddFolders(paths); });
}

QRect MainWindow::ToPixels(const Twips& box) const {
  const int dpiX = logicalDpiX();
  const int dpiY = logicalDpiY();
  return {TwipsToPixels(box.left, dpiX), TwipsToPixels(box.top, dpiY), TwipsToPixels(box.width, dpiX),
          TwipsToPixels(box.height, dpiY)};
}

void MainWindow::Place(QWidget* control, Control id) { control->setGeometry(ToPixels(FindLayout(id)->box)); }

void MainWindow::FitLabel(QLabel* label, int centreX) {
  const QSize size = label->sizeHint();
  label->setGeometry(centreX - size.width() / 2, label->y(), size.width(), size.height());
}

void MainWindow::ShowPage(Page page) {
  if (page == Page::Progress) {
    m_focusBeforeRun = focusWidget();
    m_frame2->show();
    m_frame3->hide();
    m_command2->setFocus();
    // The page is painted at once: the listing starts straight away, and the
    // next turn of the message loop may be a moment off.
    m_frame2->repaint();
  } else {
    m_frame3->show();
    m_frame2->hide();
    if (m_focusBeforeRun && m_frame3->isAncestorOf(m_focusBeforeRun)) {
      m_focusBeforeRun->setFocus();
    } else {
      m_list1->setFocus();
    }
  }
}

void MainWindow::SetStatusCaption(std::string_view caption) {
  const QRect before = m_label2->geometry();
  m_label2->setText(FromUtf8(caption));
  FitLabel(m_label2, m_label2Centre);
  // Painted now, old extent included, since the caller goes on working
  // without giving the message loop a turn.
  m_frame2->repaint(before.united(m_label2->geometry()));
}

void MainWindow::SetPathCaption(std::string_view caption) { m_label1->setText(FromUtf8(caption)); }

int MainWindow::PathCaptionWidth() const { return m_label1->width(); }

int MainWindow::RowCount() const { return m_list1->count(); }

std::string MainWindow::RowText(int row) const { return m_list1->item(row)->text().toStdString(); }

bool MainWindow::IsRowMarked(int row) const { return m_list1->item(row)->isSelected(); }

void MainWindow::RemoveRow(int row) { delete m_list1->takeItem(row); }

void MainWindow::AddRow(std::string_view text) {
  const QString entry = FromUtf8(text);
  // After the rows that compare equal, so that a folder added twice keeps
  // the order of adding.
  int at = 0;
  const int count = m_list1->count();
  while (at < count && QString::compare(m_list1->item(at)->text(), entry, Qt::CaseInsensitive) <= 0) ++at;
  auto* item = new QListWidgetItem(entry);
  item->setToolTip(entry);  // the list is narrower than most paths
  m_list1->insertItem(at, item);
}

engine::ListingOptions MainWindow::Options() const {
  engine::ListingOptions options;
  options.CheckVolume = m_checkVolume->isChecked();
  options.CheckFree = m_checkFree->isChecked();
  options.CheckSize = m_checkSize->isChecked();
  options.CheckByte = m_checkByte->isChecked();
  options.CheckDate = m_checkDate->isChecked();
  options.CheckPath = m_checkPath->isChecked();
  options.OptionCSV = m_optionCsv->isChecked();
  return options;
}

void MainWindow::ProcessEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void MainWindow::EndProgram() {
  emit ending();
  hide();
  // Leaves the main loop without closing windows first: the logic has
  // decided, and nothing is left to ask.
  QCoreApplication::exit(0);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn && (watched == m_optionTxt || watched == m_optionCsv)) {
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    QRadioButton* other = watched == m_optionTxt ? m_optionCsv : m_optionTxt;
    if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) && other->isChecked()) {
      other->setFocus(reason);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  // Only the setup page takes folders; a drag of files alone is refused
  // from the start, so that the pointer says so.
  if (!m_frame3->isVisible() || event->mimeData() == nullptr) return;
  const std::vector<std::string> paths = LocalPaths(*event->mimeData());
  if (std::any_of(paths.begin(), paths.end(),
                  [](const std::string& path) { return QFileInfo(QFile::decodeName(path.c_str())).isDir(); })) {
    event->acceptProposedAction();
  }
}

void MainWindow::dropEvent(QDropEvent* event) {
  if (!m_frame3->isVisible() || event->mimeData() == nullptr) return;
  event->acceptProposedAction();
  emit dropped(LocalPaths(*event->mimeData()));
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // The window goes away at once; a listing in progress stops and the
  // program ends once it has unwound (MainWindowLogic::WindowClosing).
  event->accept();
  emit closing();
}

}  // namespace vexaro::ui::qt
