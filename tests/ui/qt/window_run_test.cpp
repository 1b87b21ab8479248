// Runs through the real window over the in-memory platform: page switching,
// STOP clicked while the listing works, several start folders, an empty
// list, closing the window during a run.

#include <QCloseEvent>
#include <QMouseEvent>
#include <QSignalSpy>

#include <functional>

#include "engine/listing.h"
#include "tests/support/recording_host.h"
#include "tests/ui/qt/window_fixture.h"
#include "ui/fit_path.h"

namespace {

// Calls `action` whenever the watched label is painted with `text`: the
// status line is painted at once when it changes, so this is the moment the
// user sees it.
class PaintWatch final : public QObject {
 public:
  PaintWatch(QLabel* label, QString text, std::function<void()> action)
      : label_(label), text_(std::move(text)), action_(std::move(action)) {
    label_->installEventFilter(this);
  }
  int fired = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == label_ && event->type() == QEvent::Paint && label_->text() == text_ && fired == 0) {
      ++fired;
      action_();
    }
    return false;
  }

 private:
  QLabel* label_;
  QString text_;
  std::function<void()> action_;
};

// A click that arrives through the event queue, as a user's does: it is
// handled at the next turn of the message loop.
void PostClick(QWidget* button) {
  const QPointF at = QRectF(button->rect()).center();
  const QPointF global = button->mapToGlobal(at);
  QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                      Qt::LeftButton, Qt::NoModifier));
  QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                      Qt::NoButton, Qt::NoModifier));
}

}  // namespace

class WindowRunTest final : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<vexaro::testing::WindowFixture> f;

  std::string Reference(const std::vector<std::string>& folders) {
    vexaro::testing::RecordingHost host;
    std::string text;
    vexaro::engine::StringSink sink(text);
    vexaro::engine::ListingJob job(f->system, host, sink);
    for (const auto& folder : folders) job.DoWork(folder, vexaro::engine::ListingOptions{});
    return text;
  }

  QStringList Messages() const {
    QStringList out;
    for (const auto& shown : f->messages.shown) out << QString::fromStdString(shown.text);
    return out;
  }

  void AddFolders(std::initializer_list<const char*> chosen) {
    for (const char* path : chosen) {
      f->picker.answers.push_back(path);
      QTest::mouseClick(f->control("Command4"), Qt::LeftButton);
    }
  }

  const QString kSent = QStringLiteral("ファイル名のリストを\r\nクリップ・ボードに転送しました。");
  const QString kInterrupted = QStringLiteral("処理を中断しました。");

 private slots:
  void init() {
    f = std::make_unique<vexaro::testing::WindowFixture>();
    // Two start folders, the first with a few levels to walk.
    for (const char* file : {"C:\\a\\one.txt", "C:\\a\\x\\two.txt", "C:\\a\\x\\deep\\three.txt",
                             "C:\\a\\y\\four.txt", "C:\\a\\z\\five.txt", "C:\\b\\six.txt",
                             "C:\\b\\w\\seven.txt"}) {
      f->system.AddFile(file, 100);
    }
    f->window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f->window));
  }
  void cleanup() { f.reset(); }

  void startShowsTheProgressPageWhileRunningAndTheSetupPageAfter() {
    AddFolders({"C:\\b"});
    bool progressShown = false;
    PaintWatch watch(f->control<QLabel>("Label2"), QStringLiteral("Listing Files"), [&] {
      progressShown = f->control("Frame2")->isVisible() && !f->control("Frame3")->isVisible() &&
                      f->control("Command2")->isVisible();
    });
    QTest::mouseClick(f->control("Command1"), Qt::LeftButton);
    QVERIFY(watch.fired);
    QVERIFY(progressShown);
    QVERIFY(f->control("Frame3")->isVisible());
    QVERIFY(!f->control("Frame2")->isVisible());
    QCOMPARE(Messages(), QStringList{kSent});
    QCOMPARE(f->messages.shown[0].title, std::string("Vexaro"));
  }

  void twoStartFoldersAreListedInTheListsOrder() {
    AddFolders({"C:\\b", "C:\\a"});
    QCOMPARE(f->window.RowText(0), std::string("C:\\a\\"));
    QTest::mouseClick(f->control("Command1"), Qt::LeftButton);
    QCOMPARE(f->clipboard.text, Reference({"C:\\a\\", "C:\\b\\"}));
    QCOMPARE(f->logic.strListText(), f->clipboard.text);
    QCOMPARE(Messages(), QStringList{kSent});
    // The progress line keeps the last folder, fitted to the label.
    auto* label1 = f->control<QLabel>("Label1");
    QCOMPARE(label1->text(), QStringLiteral("C:\\b\\w\\"));
    QVERIFY(QFontMetrics(label1->font()).horizontalAdvance(label1->text()) <=
            vexaro::ui::WidthLimit(label1->width()));
  }

  void emptyListSendsAnEmptyText() {
    QStringList statuses;
    auto* label2 = f->control<QLabel>("Label2");
    PaintWatch cleared(label2, QStringLiteral("Clipboad Cleared"), [&] { statuses << label2->text(); });
    PaintWatch sending(label2, QStringLiteral("Send Data to Clipboard"), [&] { statuses << label2->text(); });
    QTest::mouseClick(f->control("Command1"), Qt::LeftButton);
    QCOMPARE(statuses, (QStringList{"Clipboad Cleared", "Send Data to Clipboard"}));
    QCOMPARE(f->clipboard.text, std::string());
    QCOMPARE(f->clipboard.setTextCalls, 1);
    QCOMPARE(Messages(), QStringList{kSent});
    QVERIFY(f->control("Frame3")->isVisible());
  }

  // STOP clicked when the status line first shows `status`, in the first of
  // two start folders: that folder keeps what was listed, the second is
  // listed in full.
  void stopEndsTheFirstFolderOnly_data() {
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("headerOnly");
    QTest::newRow("during the walk") << QStringLiteral("Listing Folders") << true;
    QTest::newRow("between folders") << QStringLiteral("Listing Files") << false;
  }
  void stopEndsTheFirstFolderOnly() {
    QFETCH(QString, status);
    QFETCH(bool, headerOnly);
    AddFolders({"C:\\a", "C:\\b"});
    PaintWatch watch(f->control<QLabel>("Label2"), status,
                     [&] { PostClick(f->control<QPushButton>("Command2")); });
    QTest::mouseClick(f->control("Command1"), Qt::LeftButton);
    QVERIFY(watch.fired);
    QCOMPARE(Messages(), (QStringList{kInterrupted, kSent}));
    const std::string whole = Reference({"C:\\a\\"});
    const std::string second = Reference({"C:\\b\\"});
    const std::string& text = f->clipboard.text;
    QVERIFY(text.ends_with(second));
    const std::string partial = text.substr(0, text.size() - second.size());
    QVERIFY(partial.size() < whole.size());
    QVERIFY(whole.starts_with(partial));
    if (headerOnly) QVERIFY(partial.find("one.txt") == std::string::npos);
  }

  void closingDuringARunEndsTheProgramWithoutMoreBoxes() {
    AddFolders({"C:\\a", "C:\\b"});
    QSignalSpy ending(&f->window, &vexaro::ui::qt::MainWindow::ending);
    bool endedTooEarly = false;
    PaintWatch watch(f->control<QLabel>("Label2"), QStringLiteral("Listing Folders"), [&] {
      QMetaObject::invokeMethod(
          &f->window,
          [&] {
            f->window.close();
            endedTooEarly = !ending.isEmpty();
          },
          Qt::QueuedConnection);
    });
    QTest::mouseClick(f->control("Command1"), Qt::LeftButton);
    QVERIFY(watch.fired);
    QVERIFY(!endedTooEarly);
    QCOMPARE(ending.size(), 1);
    QVERIFY(Messages().isEmpty());
    QCOMPARE(f->clipboard.setTextCalls, 0);
    QVERIFY(!f->window.isVisible());
    QVERIFY(!f->logic.running());
  }

  void deleteSelectedRemovesSeveralMarkedRows() {
    AddFolders({"C:\\d", "C:\\c", "C:\\b", "C:\\a"});
    auto* list = f->control<QListWidget>("List1");
    struct Case {
      std::vector<int> mark;
      QStringList left;
    };
    const Case cases[] = {
        {{}, {"C:\\a\\", "C:\\b\\", "C:\\c\\", "C:\\d\\"}},
        {{1, 2}, {"C:\\a\\", "C:\\d\\"}},
        {{0, 1}, {}},
    };
    for (const Case& c : cases) {
      for (int row : c.mark) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualItemRect(list->item(row)).center());
      }
      QTest::mouseClick(f->control("Command5"), Qt::LeftButton);
      QStringList left;
      for (int row = 0; row < list->count(); ++row) left << list->item(row)->text();
      QCOMPARE(left, c.left);
    }
  }

};

QTEST_MAIN(WindowRunTest)
#include "window_run_test.moc"
