// Keyboard and mouse on the window: focus order, the option group, Enter and
// Escape, and marking entries of the folder list.

#include <QApplication>
#include <QSignalSpy>

#include "tests/ui/qt/window_fixture.h"

class WindowKeyboardTest final : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<vexaro::testing::WindowFixture> f;

  QStringList TabWalk(int presses) {
    QStringList names;
    for (int i = 0; i < presses; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      names << QApplication::focusWidget()->objectName();
    }
    return names;
  }

  QRect RowRect(int row) {
    auto* list = f->control<QListWidget>("List1");
    return list->visualItemRect(list->item(row));
  }

 private slots:
  void init() {
    f = std::make_unique<vexaro::testing::WindowFixture>();
    f->window.show();
    QApplication::setActiveWindow(&f->window);
    QVERIFY(QTest::qWaitForWindowActive(&f->window));
  }
  void cleanup() { f.reset(); }

  void folderListHasTheFocusAtFirstShow() {
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("List1"));
  }

  void tabVisitsTheSetupPageInItsOrder() {
    const QStringList order{"Command4", "Command5",  "CheckSize", "Command1",  "Command3",
                            "CheckPath", "CheckDate", "CheckByte", "OptionTXT", "CheckFree",
                            "CheckVolume", "List1"};
    QCOMPARE(TabWalk(static_cast<int>(order.size())), order);
  }

  void tabEntersTheOptionGroupAtTheChosenButton() {
    struct Case {
      const char* chosen;
      const char* from;
      Qt::Key key;
      QStringList walk;
    };
    const Case cases[] = {
        {"OptionTXT", "CheckByte", Qt::Key_Tab, {"OptionTXT", "CheckFree"}},
        {"OptionCSV", "CheckByte", Qt::Key_Tab, {"OptionCSV", "CheckFree"}},
        {"OptionTXT", "CheckFree", Qt::Key_Backtab, {"OptionTXT", "CheckByte"}},
        {"OptionCSV", "CheckFree", Qt::Key_Backtab, {"OptionCSV", "CheckByte"}},
    };
    for (const Case& c : cases) {
      f->control<QRadioButton>(c.chosen)->setChecked(true);
      f->control(c.from)->setFocus();
      QStringList walk;
      for (int i = 0; i < 2; ++i) {
        QTest::keyClick(QApplication::focusWidget(), c.key);
        walk << QApplication::focusWidget()->objectName();
      }
      QCOMPARE(walk, c.walk);
      QVERIFY(f->control<QRadioButton>(c.chosen)->isChecked());
    }
  }

  void onlyStopTakesTheFocusWhileRunning() {
    f->window.ShowPage(vexaro::ui::Page::Progress);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Command2"));
    QCOMPARE(TabWalk(3), (QStringList{"Command2", "Command2", "Command2"}));
    f->window.ShowPage(vexaro::ui::Page::Setup);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("List1"));
  }

  void choosingOneOptionClearsTheOther() {
    auto* txt = f->control<QRadioButton>("OptionTXT");
    auto* csv = f->control<QRadioButton>("OptionCSV");
    struct Step {
      QRadioButton* click;
      bool csvChosen;
    };
    const Step steps[] = {{csv, true}, {csv, true}, {txt, false}, {csv, true}};
    for (const Step& s : steps) {
      QTest::mouseClick(s.click, Qt::LeftButton);
      QCOMPARE(csv->isChecked(), s.csvChosen);
      QCOMPARE(txt->isChecked(), !s.csvChosen);
      QCOMPARE(f->window.Options().OptionCSV, s.csvChosen);
    }
  }

  void enterPressesOnlyTheFocusedButtonAndEscapeNone() {
    // Add Folder opens the picker (cancelled here); count its clicks.
    struct Press {
      const char* focus;
      Qt::Key key;
      int pickerCalls;
    };
    const Press presses[] = {
        {"Command4", Qt::Key_Return, 1}, {"Command4", Qt::Key_Enter, 1}, {"Command4", Qt::Key_Escape, 0},
        {"List1", Qt::Key_Return, 0},    {"CheckPath", Qt::Key_Return, 0}, {"List1", Qt::Key_Escape, 0},
        {"Command4", Qt::Key_Space, 1},
    };
    for (const Press& p : presses) {
      QWidget* target = f->control(p.focus);
      target->setFocus();
      const auto before = f->picker.prompts.size();
      QTest::keyClick(target, p.key);
      QCOMPARE(static_cast<int>(f->picker.prompts.size() - before), p.pickerCalls);
      QVERIFY(f->window.isVisible());
      QCOMPARE(f->control<QListWidget>("List1")->count(), 0);
    }
  }

  void entriesAreMarkedOneByOneWithoutModifiers() {
    for (const char* path : {"C:\\b\\", "C:\\A\\", "C:\\c\\"}) f->window.AddRow(path);
    auto* list = f->control<QListWidget>("List1");
    QCOMPARE(f->window.RowText(0), std::string("C:\\A\\"));
    QCOMPARE(f->window.RowText(1), std::string("C:\\b\\"));
    QCOMPARE(list->item(1)->toolTip(), QStringLiteral("C:\\b\\"));

    struct Click {
      int row;
      std::vector<bool> marked;
    };
    const Click clicks[] = {
        {0, {true, false, false}},
        {2, {true, false, true}},
        {0, {false, false, true}},
        {1, {false, true, true}},
    };
    for (const Click& c : clicks) {
      QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, RowRect(c.row).center());
      for (int row = 0; row < 3; ++row) QCOMPARE(f->window.IsRowMarked(row), c.marked[row]);
    }
    // The space bar toggles the current entry alone.
    list->setFocus();
    list->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(f->window.IsRowMarked(1), false);
    QCOMPARE(f->window.IsRowMarked(2), true);
    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(f->window.IsRowMarked(0), true);
    QCOMPARE(f->window.IsRowMarked(2), true);
  }

};

QTEST_MAIN(WindowKeyboardTest)
#include "window_keyboard_test.moc"
