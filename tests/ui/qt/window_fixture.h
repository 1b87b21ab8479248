#pragma once
// The real Qt window over the shared logic, with the in-memory platform and
// recording facilities, for widget tests.

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <chrono>
#include <memory>

#include "platform/qt_facilities.h"
#include "tests/support/fake_facilities.h"
#include "tests/support/fake_system.h"
#include "ui/main_window.h"
#include "ui/qt/main_window.h"

namespace vexaro::testing {

struct WindowFixture {
  WindowFixture() {
    system.SetLabel("C:\\", "DATA");
    system.SetSpace("C:", 13249974108, 106042260111);
    window.Attach(logic);
    logic.Form_Load();
  }

  template <class T = QWidget>
  T* control(const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no control %s", name);
    return found;
  }

  // Every reading of the clock moves it 20 ms on, so that every yield of a
  // run gives the message loop a turn.
  std::chrono::steady_clock::time_point Tick() {
    now += std::chrono::milliseconds(20);
    return now;
  }

  Journal journal;
  FakeSystem system;
  FakeClipboard clipboard{journal};
  FakeMessages messages{journal};
  FakePicker picker;
  ui::qt::MainWindow window;
  platform::QtPathFitter fitter{window.pathLabel(), '\\'};
  std::chrono::steady_clock::time_point now{};
  ui::MainWindowLogic logic{window, {system, clipboard, messages, picker, fitter}, [this] { return Tick(); }};
};

}  // namespace vexaro::testing
