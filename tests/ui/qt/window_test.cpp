// The Qt window over the shared logic through its real widgets, and the Qt facilities.

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/qt/qt_facilities.h"
#include "tests/support/fake_facilities.h"
#include "tests/support/fake_system.h"
#include "ui/fit_path.h"
#include "ui/qt/main_window.h"

namespace {

using namespace vexaro;

// The window shown and active, over the in-memory platform; each clock reading moves on 20 ms.
struct Window {
  Window() {
    for (const char* file : {"C:\\a\\one.txt", "C:\\a\\x\\two.txt", "C:\\a\\x\\deep\\three.txt", "C:\\b\\four.txt",
                             "C:\\b\\w\\five.txt"}) {
      system.AddFile(file, 100);
    }
    window.Attach(logic);
    logic.Form_Load();
    window.show();
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window)) qFatal("the window does not become active");
  }
  template <class T = QWidget>
  T* control(const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no control %s", name);
    return found;
  }
  QStringList Walk(Qt::Key key, int presses) {
    QStringList names;
    for (int i = 0; i < presses; ++i) {
      QTest::keyClick(QApplication::focusWidget(), key);
      names << QApplication::focusWidget()->objectName();
    }
    return names;
  }

  testing::Journal journal;
  testing::FakeSystem system;
  testing::FakeClipboard clipboard{journal};
  testing::FakeMessages messages{journal};
  testing::FakePicker picker;
  ui::qt::MainWindow window;
  platform::QtPathFitter fitter{window.pathLabel(), '\\'};
  std::chrono::steady_clock::time_point now{};
  ui::MainWindowLogic logic{window, {system, clipboard, messages, picker, fitter, 1}, [this] {
                              return now += std::chrono::milliseconds(20);
                            }};
};

// Runs `check` on the modal dialog of type T once it is up, then closes it.
template <class T>
void WhenModal(bool accept, std::function<void(T*)> check) {
  QTimer::singleShot(0, [=] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!dialog) qFatal("no modal dialog");
    check(dialog);
    accept ? static_cast<QDialog*>(dialog)->accept() : static_cast<QDialog*>(dialog)->reject();
  });
}

}  // namespace

class WindowTest final : public QObject {
  Q_OBJECT

 private slots:
  // ctest runs this at 96 dots per inch and again at 144 (VEXARO_TEST_DPI).
  void everyControlStandsWhereTheLayoutPutsIt() {
    Window w;
    const int dpi = w.window.logicalDpiX();
    QCOMPARE(w.window.logicalDpiY(), dpi);
    QCOMPARE(dpi, qEnvironmentVariableIsSet("VEXARO_TEST_DPI") ? qEnvironmentVariableIntValue("VEXARO_TEST_DPI") : 96);
    auto px = [dpi](int twips) { return ui::TwipsToPixels(twips, dpi); };
    auto pixels = [&](const ui::Twips& b) { return QRect(px(b.left), px(b.top), px(b.width), px(b.height)); };
    QCOMPARE(w.window.size(), pixels(ui::kClientArea).size());
    QCOMPARE(w.window.minimumSize(), w.window.maximumSize());
    for (const auto& row : ui::kLayout) {
      QWidget* control = w.control(row.name);
      auto* button = qobject_cast<QAbstractButton*>(control);
      auto* label = qobject_cast<QLabel*>(control);
      QCOMPARE(control->parentWidget(),
               row.container == ui::Control::Form1 ? &w.window : w.control(ui::FindLayout(row.container)->name));
      const QString text = button ? button->text() : label ? label->text() : QString();
      if (row.id != ui::Control::Label1) QCOMPARE(text, QString::fromLatin1(row.caption));
      if (row.kind == ui::Kind::CheckBox || row.kind == ui::Kind::OptionButton) {
        QCOMPARE(button->isChecked(), row.id != ui::Control::OptionCSV);
      }
      if (row.id != ui::Control::Label2) QVERIFY2(control->font() == w.window.font(), row.name);
      // The self-sizing labels keep their top and centre; every other box is the layout's to the pixel.
      const QRect actual = control->geometry(), laid = pixels(row.box);
      if (row.id == ui::Control::Label2 || row.id == ui::Control::Label3) {
        QCOMPARE(actual.top(), laid.top());
        QVERIFY2(std::abs(actual.center().x() - laid.center().x()) <= 1, row.name);
      } else {
        QVERIFY2(actual == laid, row.name);
      }
      // Inside its parent, clear of its neighbours (the option buttons' boxes overlap by design).
      QVERIFY2(control->parentWidget()->rect().contains(actual), row.name);
      for (const auto& other : ui::kLayout) {
        if (&other == &row || other.container != row.container || row.kind == ui::Kind::Page) continue;
        if (row.kind == ui::Kind::OptionButton && other.kind == ui::Kind::OptionButton) continue;
        QVERIFY2(!actual.intersects(w.control(other.name)->geometry()), row.name);
      }
    }
    // The status line grows about its middle with its text.
    auto* label2 = w.control<QLabel>("Label2");
    const int middle = label2->geometry().center().x();
    w.window.SetStatusCaption("Send Data to Clipboard");
    QVERIFY(label2->width() >= QFontMetrics(label2->font()).horizontalAdvance(label2->text()));
    QVERIFY(std::abs(label2->geometry().center().x() - middle) <= 1);
  }

  void keyboardReachesEveryControlAndPressesOnlyTheFocusedButton() {
    Window w;
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("List1"));
    QCOMPARE(w.Walk(Qt::Key_Tab, 12),
             (QStringList{"Command4", "Command5", "CheckSize", "Command1", "Command3", "CheckPath", "CheckDate",
                          "CheckByte", "OptionTXT", "CheckFree", "CheckVolume", "List1"}));
    // A click chooses one option button and clears the other; Tab enters the group at the chosen one.
    for (const auto& [chosen, csv] : {std::pair{"OptionCSV", true}, std::pair{"OptionTXT", false}}) {
      QTest::mouseClick(w.control(chosen), Qt::LeftButton);
      QCOMPARE(w.control<QRadioButton>("OptionCSV")->isChecked(), csv);
      QCOMPARE(w.control<QRadioButton>("OptionTXT")->isChecked(), !csv);
      QCOMPARE(w.window.Options().OptionCSV, csv);
      w.control("CheckByte")->setFocus();
      QCOMPARE(w.Walk(Qt::Key_Tab, 2), (QStringList{chosen, "CheckFree"}));
      QCOMPARE(w.Walk(Qt::Key_Backtab, 2), (QStringList{chosen, "CheckByte"}));
    }
    // Enter presses the focused button and no other; Escape presses none.
    QStringList pressed;
    for (auto* button : w.window.findChildren<QAbstractButton*>()) {
      connect(button, &QAbstractButton::clicked, [&pressed, button] { pressed << button->objectName(); });
    }
    const std::tuple<const char*, Qt::Key, QStringList> cases[] = {
        {"Command4", Qt::Key_Return, {"Command4"}}, {"List1", Qt::Key_Return, {}}, {"List1", Qt::Key_Escape, {}}};
    for (const auto& [focus, key, expected] : cases) {
      pressed.clear();
      w.control(focus)->setFocus();
      QTest::keyClick(QApplication::focusWidget(), key);
      QCOMPARE(pressed, expected);
    }
  }

  void listKeepsItsOrderWithoutCaseAndMarksOneRowAtATime() {
    Window w;
    for (const char* path : {"C:\\b\\", "C:\\C\\", "C:\\A\\"}) w.window.AddRow(path);
    QCOMPARE(w.window.RowText(0) + w.window.RowText(1) + w.window.RowText(2), std::string("C:\\A\\C:\\b\\C:\\C\\"));
    auto* list = w.control<QListWidget>("List1");
    auto marks = [&] { return QList<bool>{w.window.IsRowMarked(0), w.window.IsRowMarked(1), w.window.IsRowMarked(2)}; };
    for (int row : {0, 2, 0}) {
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }
    QCOMPARE(marks(), (QList<bool>{false, false, true}));
    list->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(marks(), (QList<bool>{false, true, true}));
  }

  // STOP clicked through the event queue, as a user does, while the first folder is walked.
  void runShowsTheProgressPageAndStopsTheFirstFolderOnly() {
    Window w;
    for (const char* path : {"C:\\b", "C:\\a"}) {
      w.picker.answers.push_back(path);
      QTest::mouseClick(w.control("Command4"), Qt::LeftButton);
    }
    QWidget* stop = w.control("Command2");
    bool progressShown = false;
    w.system.onOpen([&](std::string_view) {
      if (progressShown || w.control<QLabel>("Label2")->text() != "Listing Folders") return;
      progressShown = stop->isVisible() && !w.control("Frame3")->isVisible();
      const QPointF at = QRectF(stop->rect()).center(), global = stop->mapToGlobal(at);
      for (auto [type, buttons] :
           {std::pair{QEvent::MouseButtonPress, Qt::LeftButton}, std::pair{QEvent::MouseButtonRelease, Qt::NoButton}}) {
        QCoreApplication::postEvent(stop, new QMouseEvent(type, at, global, Qt::LeftButton, buttons, {}));
      }
    });
    QTest::mouseClick(w.control("Command1"), Qt::LeftButton);
    QVERIFY(progressShown && w.control("Frame3")->isVisible() && !stop->isVisible());
    QCOMPARE(w.messages.shown.size(), 2u);       // the stopped folder's and the closing one
    const std::string& text = w.clipboard.text;  // the second folder in full, the first cut short
    QVERIFY(text.find("five.txt") != std::string::npos && text.find("three.txt") == std::string::npos);
    QCOMPARE(w.control<QLabel>("Label1")->text(), QStringLiteral("C:\\b\\w\\"));
  }

  void clipboardHoldsTheBytesAsPlainText() {
    platform::QtClipboard clipboard;
    for (const std::string& text : {std::string(), std::string("名前.txt\r\n"), std::string(3 << 20, 'x')}) {
      QVERIFY(!clipboard.SetText(text));
      const QMimeData* data = QGuiApplication::clipboard()->mimeData();
      QCOMPARE(data->formats(), QStringList{"text/plain"});
      QCOMPARE(data->data("text/plain").toStdString(), text);
    }
    QVERIFY(!clipboard.Clear());
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
  }

  void dialogsAreModalOverTheirParent() {
    QWidget parent;
    WhenModal<QMessageBox>(true, [&](QMessageBox* box) {
      QVERIFY(box->windowTitle() == "Vexaro" && box->text() == "一行目\n<b>二行目</b>" &&
              box->textFormat() == Qt::PlainText && box->icon() == QMessageBox::Information &&
              box->buttons().size() == 1 && box->parentWidget() == &parent);
    });
    platform::QtMessageDialog(parent).ShowInformation("一行目\n<b>二行目</b>", "Vexaro");
    // The folder dialog returns the chosen folder, or nothing when cancelled.
    QTemporaryDir dir;
    const QString chosen = dir.path() + QStringLiteral("/フォルダ");
    QVERIFY(QDir().mkpath(chosen));
    platform::QtFolderPicker picker(parent);
    for (bool accept : {true, false}) {
      WhenModal<QFileDialog>(accept, [&](QFileDialog* dialog) {
        QVERIFY(dialog->windowTitle() == "フォルダを選択してください" && dialog->fileMode() == QFileDialog::Directory &&
                dialog->testOption(QFileDialog::ShowDirsOnly));
        dialog->selectFile(chosen);
      });
      QCOMPARE(picker.PickFolder("フォルダを選択してください"),
               accept ? std::optional(chosen.toStdString()) : std::nullopt);
    }
  }

  void pathFitterMeasuresInTheWidgetsFontAsItStands() {
    QLabel label;
    QFont font = label.font();
    font.setPixelSize(12);
    label.setFont(font);
    platform::QtPathFitter fitter(label, '/');
    const std::string path = "/日本語のフォルダの名前/another folder/last";
    const int full = QFontMetrics(font).horizontalAdvance(QString::fromStdString(path));
    QCOMPARE(fitter.FitPath(path, full), path);
    const std::string fitted = fitter.FitPath(path, full / 2);
    const QString shown = QString::fromStdString(fitted);
    QVERIFY2(fitted.ends_with(".../last") && shown.toStdString() == fitted, fitted.c_str());  // whole characters
    QVERIFY(QFontMetrics(font).horizontalAdvance(shown) <= full / 2);
    font.setPixelSize(18);
    label.setFont(font);
    QVERIFY(fitter.FitPath(path, full / 2).size() < fitted.size());
  }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
