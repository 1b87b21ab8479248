// The window's controls: kinds, containers, captions, places, initial
// values, fonts, and that nothing is cut off.

#include <QFontInfo>
#include <QFontMetrics>
#include <QScreen>

#include "tests/ui/qt/window_fixture.h"
#include "ui/fit_path.h"

using vexaro::ui::TwipsToPixels;

namespace {

struct ControlRow {
  const char* name;
  const char* kind;
  const char* container;
  const char* caption;  // nullptr: none
  int left, top, width, height;
  bool growsToFit;  // check boxes and option buttons may grow for their text
};

constexpr ControlRow kControls[] = {
    {"Frame3", "QWidget", "Form1", nullptr, 90, 36, 7290, 1005, false},
    {"Frame2", "QWidget", "Form1", nullptr, 90, 36, 7290, 1005, false},
    {"List1", "QListWidget", "Frame3", nullptr, 135, 60, 1815, 900, false},
    {"Command4", "QPushButton", "Frame3", "Add Folder", 2010, 90, 1560, 330, false},
    {"Command5", "QPushButton", "Frame3", "Delete Selected", 2010, 495, 990, 450, false},
    {"Command1", "QPushButton", "Frame3", "Start", 3720, 69, 2385, 372, false},
    {"Command3", "QPushButton", "Frame3", "Quit", 6180, 99, 1005, 312, false},
    {"CheckPath", "QCheckBox", "Frame3", "Path", 3180, 480, 645, 225, true},
    {"CheckSize", "QCheckBox", "Frame3", "Size", 4230, 480, 615, 225, true},
    {"OptionTXT", "QRadioButton", "Frame3", "TXT", 5550, 502, 765, 180, true},
    {"OptionCSV", "QRadioButton", "Frame3", "CSV", 6300, 502, 765, 180, true},
    {"CheckVolume", "QCheckBox", "Frame3", "Volume", 3180, 750, 945, 225, true},
    {"CheckDate", "QCheckBox", "Frame3", "Date", 4230, 750, 735, 225, true},
    {"CheckByte", "QCheckBox", "Frame3", "Byte", 5070, 750, 675, 225, true},
    {"CheckFree", "QCheckBox", "Frame3", "Free Space", 5850, 765, 1275, 195, true},
    {"Command2", "QPushButton", "Frame2", "STOP", 5940, 180, 975, 312, false},
    {"Label1", "QLabel", "Frame2", "", 105, 525, 7020, 240, false},
};

QString Caption(QWidget* w) {
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  return {};
}

}  // namespace

class WindowLayoutTest final : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<vexaro::testing::WindowFixture> f;
  QRect Pixels(int left, int top, int width, int height) const {
    const int x = f->window.logicalDpiX(), y = f->window.logicalDpiY();
    return {TwipsToPixels(left, x), TwipsToPixels(top, y), TwipsToPixels(width, x), TwipsToPixels(height, y)};
  }

 private slots:
  void init() {
    f = std::make_unique<vexaro::testing::WindowFixture>();
    f->window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f->window));
  }
  void cleanup() { f.reset(); }

  void everyControlStandsWhereTheLayoutPutsIt() {
    for (const ControlRow& row : kControls) {
      const QByteArray name(row.name);
      QWidget* w = f->control(row.name);
      QVERIFY2(w->inherits(row.kind), name);
      QCOMPARE(w->parentWidget()->objectName(), QString::fromLatin1(row.container));
      if (row.caption) QCOMPARE(Caption(w), QString::fromUtf8(row.caption));
      const QRect expected = Pixels(row.left, row.top, row.width, row.height);
      const QRect actual = w->geometry();
      if (!row.growsToFit) {
        QVERIFY2(actual == expected, name);
        continue;
      }
      // Same left edge and vertical middle; no smaller than laid out.
      QCOMPARE(actual.left(), expected.left());
      QVERIFY2(std::abs(actual.center().y() - expected.center().y()) <= 1, name);
      QVERIFY2(actual.width() >= expected.width() && actual.height() >= expected.height(), name);
    }
  }

  void windowIsFixedAtTheClientAreaOfTheLoadStep() {
    QCOMPARE(f->window.windowTitle(), QStringLiteral("Vexaro Ver 2.8"));
    QCOMPARE(f->window.size(), Pixels(0, 0, 7500, 1365).size());
    QCOMPARE(f->window.minimumSize(), f->window.maximumSize());
    const Qt::WindowFlags flags = f->window.windowFlags();
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    const QPoint middle = f->window.screen()->availableGeometry().center();
    QVERIFY((f->window.geometry().center() - middle).manhattanLength() <= 4);
    QVERIFY(!f->window.windowIcon().isNull());
    QVERIFY(f->window.windowIcon().availableSizes().contains(QSize(32, 32)));
  }

  void initialValuesAreThoseOfEveryStart() {
    for (const char* name : {"CheckPath", "CheckSize", "CheckVolume", "CheckDate", "CheckByte", "CheckFree"}) {
      QVERIFY2(f->control<QCheckBox>(name)->isChecked(), name);
      QVERIFY2(!f->control<QCheckBox>(name)->isTristate(), name);
    }
    QVERIFY(f->control<QRadioButton>("OptionTXT")->isChecked());
    QVERIFY(!f->control<QRadioButton>("OptionCSV")->isChecked());
    auto* list = f->control<QListWidget>("List1");
    QCOMPARE(list->count(), 0);
    QCOMPARE(list->palette().color(QPalette::Base), QColor(224, 224, 224));
    QCOMPARE(list->selectionMode(), QAbstractItemView::MultiSelection);
    QCOMPARE(f->control<QLabel>("Label1")->text(), QString());
    QCOMPARE(f->control<QLabel>("Label2")->text(), QStringLiteral("Listing Folders"));
    QVERIFY(f->control("Frame3")->isVisible());
    QVERIFY(!f->control("Frame2")->isVisible());
    QVERIFY(!f->control("Command2")->isVisible());
    QVERIFY(f->control("Label3")->isVisible());
    const auto options = f->window.Options();
    QVERIFY(options.CheckVolume && options.CheckFree && options.CheckSize && options.CheckByte &&
            options.CheckDate && options.CheckPath && !options.OptionCSV);
  }

  void everyButtonIsEnabledAndNoCaptionHasAnAccessKey() {
    const auto buttons = f->window.findChildren<QAbstractButton*>();
    QCOMPARE(buttons.size(), 13);
    for (QAbstractButton* b : buttons) {
      QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
      QVERIFY2(!b->text().contains(u'&'), qPrintable(b->objectName()));
      QVERIFY2(b->shortcut().isEmpty(), qPrintable(b->objectName()));
    }
  }

  void statusLineHasItsOwnJapaneseCapableBoldFont() {
    auto* label2 = f->control<QLabel>("Label2");
    const QFont font = label2->font();
    QCOMPARE(font.pointSizeF(), 10.5);
    QCOMPARE(font.weight(), QFont::Bold);
    QVERIFY(!font.italic() && !font.underline() && !font.strikeOut());
    QVERIFY(font.families().contains(QStringLiteral("ＭＳ Ｐゴシック")));
    const QFontMetrics metrics(font);
    for (char32_t c : {U'処', U'理', U'ク', U'。'}) QVERIFY(metrics.inFontUcs4(c));
    // Every other control keeps the window's font.
    QCOMPARE(f->control("Label1")->font(), f->window.font());
    QCOMPARE(f->control("Command1")->font(), f->window.font());
  }

  void selfSizingLabelsFollowTheirTextAboutTheirMiddle() {
    auto* label2 = f->control<QLabel>("Label2");
    const int middle = label2->geometry().center().x();
    int previous = label2->width();
    for (const char* text : {"Send Data to Clipboard", "Clipboad Cleared", "処理を中断しました。", "x"}) {
      f->window.SetStatusCaption(text);
      const QFontMetrics metrics(label2->font());
      QVERIFY2(label2->width() >= metrics.horizontalAdvance(QString::fromUtf8(text)), text);
      QVERIFY2(std::abs(label2->geometry().center().x() - middle) <= 1, text);
      QVERIFY2(label2->height() >= metrics.height(), text);
      QVERIFY(label2->width() != previous);
      previous = label2->width();
    }
    auto* label3 = f->control<QLabel>("Label3");
    QCOMPARE(label3->size(), label3->sizeHint());
    QVERIFY(!label3->text().isEmpty());
  }

  void nothingIsCutOff() {
    // Every control inside its container, and at least as large as its
    // content wants (the two-line button and the fixed labels aside).
    for (QWidget* w : f->window.findChildren<QWidget*>()) {
      const QString name = w->objectName();
      if (name.isEmpty() || !w->parentWidget()) continue;
      const QRect inside = w->parentWidget()->rect();
      QVERIFY2(inside.contains(w->geometry()), qPrintable(name));
      if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
        QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(name));
        QVERIFY2(w->height() >= w->sizeHint().height(), qPrintable(name));
      }
      if (name == "Command1" || name == "Command2" || name == "Command3" || name == "Command4") {
        const QFontMetrics metrics(w->font());
        auto* button = qobject_cast<QPushButton*>(w);
        QVERIFY2(metrics.horizontalAdvance(button->text()) + 8 <= w->width(), qPrintable(name));
        QVERIFY2(metrics.height() + 4 <= w->height(), qPrintable(name));
      }
    }
    // The narrow button breaks its caption into lines that fit.
    auto* command5 = f->control<QPushButton>("Command5");
    const QFontMetrics metrics(command5->font());
    const QRect needed = metrics.boundingRect(command5->rect().adjusted(2, 1, -2, -1),
                                              Qt::AlignCenter | Qt::TextWordWrap, command5->text());
    QVERIFY(command5->rect().contains(needed));
    // The captions of check boxes on one line stay clear of each other (the
    // layout lets the boxes of TXT and CSV overlap by a pixel).
    const char* rows[][3] = {{"CheckPath", "CheckSize", nullptr},
                             {"CheckSize", "OptionTXT", nullptr},
                             {"OptionTXT", "OptionCSV", nullptr},
                             {"CheckVolume", "CheckDate", nullptr},
                             {"CheckDate", "CheckByte", nullptr},
                             {"CheckByte", "CheckFree", nullptr}};
    for (const auto& pair : rows) {
      auto* left = f->control<QAbstractButton>(pair[0]);
      const bool radio = qobject_cast<QRadioButton*>(left) != nullptr;
      const QStyle* style = left->style();
      const int indicator = style->pixelMetric(radio ? QStyle::PM_ExclusiveIndicatorWidth : QStyle::PM_IndicatorWidth,
                                               nullptr, left);
      const int spacing = style->pixelMetric(radio ? QStyle::PM_RadioButtonLabelSpacing : QStyle::PM_CheckBoxLabelSpacing,
                                             nullptr, left);
      const int inkRight = left->x() + indicator + spacing + QFontMetrics(left->font()).horizontalAdvance(left->text());
      QVERIFY2(inkRight < f->control(pair[1])->x(), pair[0]);
    }
  }

};

QTEST_MAIN(WindowLayoutTest)
#include "window_layout_test.moc"
