// The Qt clipboard, message box, folder dialog and path fitter.

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/qt_facilities.h"

using vexaro::platform::QtClipboard;
using vexaro::platform::QtFolderPicker;
using vexaro::platform::QtMessageDialog;
using vexaro::platform::QtPathFitter;

namespace {

// Runs `check` on the modal dialog of type T once it is up.
template <class T>
void WhenModal(std::function<void(T*)> check) {
  QTimer::singleShot(0, [check] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!dialog) qFatal("no modal dialog");
    check(dialog);
  });
}

}  // namespace

class QtFacilitiesTest final : public QObject {
  Q_OBJECT

 private slots:
  void clipboardHoldsTheTextAsPlainUtf8() {
    QtClipboard clipboard;
    const std::string texts[] = {"", "one line", "a\nb\n", "名前.txt\n", std::string(3 << 20, 'x')};
    for (const std::string& text : texts) {
      QVERIFY(!clipboard.SetText(text));
      const QMimeData* data = QGuiApplication::clipboard()->mimeData();
      QVERIFY(data);
      QCOMPARE(data->formats(), QStringList{"text/plain"});
      QCOMPARE(data->data("text/plain").toStdString(), text);
      QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(text));
    }
    QVERIFY(!clipboard.Clear());
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
  }

  void messageBoxIsAnInformationBoxWithOneButton() {
    QWidget parent;
    QtMessageDialog messages(parent);
    bool seen = false;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      seen = true;
      QCOMPARE(box->windowTitle(), QStringLiteral("Vexaro"));
      QCOMPARE(box->text(), QStringLiteral("一行目\n<b>二行目</b>"));
      QCOMPARE(box->textFormat(), Qt::PlainText);
      QCOMPARE(box->icon(), QMessageBox::Information);
      QCOMPARE(box->buttons().size(), 1);
      QCOMPARE(box->standardButtons(), QMessageBox::Ok);
      QCOMPARE(box->parentWidget(), &parent);
      box->accept();
    });
    messages.ShowInformation("一行目\n<b>二行目</b>", "Vexaro");
    QVERIFY(seen);
  }

  void folderDialogOffersFoldersOnlyAndReturnsTheChoice() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("フォルダ/sub")));
    const QString chosen = dir.path() + QStringLiteral("/フォルダ");
    QWidget parent;
    QtFolderPicker picker(parent);

    struct Case {
      bool accept;
      std::optional<std::string> result;
    };
    const Case cases[] = {{true, chosen.toStdString()}, {false, std::nullopt}};
    for (const Case& c : cases) {
      bool seen = false;
      WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        seen = true;
        QCOMPARE(dialog->windowTitle(), QStringLiteral("フォルダを選択してください"));
        QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
        QVERIFY(dialog->testOption(QFileDialog::ShowDirsOnly));
        QVERIFY(dialog->isModal());
        if (c.accept) {
          dialog->selectFile(chosen);
          static_cast<QDialog*>(dialog)->accept();
        } else {
          static_cast<QDialog*>(dialog)->reject();
        }
      });
      QCOMPARE(picker.PickFolder("フォルダを選択してください"), c.result);
      QVERIFY(seen);
    }
  }

  void pathFitterMeasuresInTheWidgetsFontAsItStands() {
    QLabel label;
    QFont font = label.font();
    font.setPixelSize(12);
    label.setFont(font);
    QtPathFitter fitter(label, '/');
    const std::string path = "/home/user/a rather long folder name/and another one/日本語のフォルダ/last";
    const QFontMetrics metrics(font);
    const int full = metrics.horizontalAdvance(QString::fromStdString(path));

    struct Case {
      int width;
      bool shortened;
    };
    const Case cases[] = {{full, false}, {full - 1, true}, {full / 2, true}, {full / 4, true}};
    for (const Case& c : cases) {
      const std::string fitted = fitter.FitPath(path, c.width);
      const QString shown = QString::fromStdString(fitted);
      QVERIFY(metrics.horizontalAdvance(shown) <= c.width);
      QCOMPARE(fitted != path, c.shortened);
      if (c.shortened) {
        QVERIFY(fitted.starts_with("/home"));
        QVERIFY(fitted.ends_with(".../last"));
      }
    }

    // A larger font leaves room for less.
    const std::string before = fitter.FitPath(path, full / 2);
    font.setPixelSize(18);
    label.setFont(font);
    const std::string after = fitter.FitPath(path, full / 2);
    QVERIFY(after.size() < before.size());
    QVERIFY(QFontMetrics(font).horizontalAdvance(QString::fromStdString(after)) <= full / 2);
  }
};

QTEST_MAIN(QtFacilitiesTest)
#include "qt_facilities_test.moc"
