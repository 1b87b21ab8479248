// drag_source PATH...: a window titled "drag source" that, when pressed, drags PATH... as local file
// URLs (a real XDND drag for the end-to-end test); prints "accepted" or "refused", ends 10 s later.

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

struct Source final : QWidget {
  void mousePressEvent(QMouseEvent*) override {
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setUrls(urls);
    drag->setMimeData(data);
    std::puts(drag->exec(Qt::CopyAction) == Qt::CopyAction ? "accepted" : "refused");
    std::fflush(stdout);
    QTimer::singleShot(10000, qApp, &QApplication::quit);  // the target may still be fetching the data
  }
  QList<QUrl> urls;
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  Source source;
  for (int i = 1; i < argc; ++i) source.urls << QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i]));
  source.setWindowTitle(QStringLiteral("drag source"));
  source.setGeometry(900, 500, 120, 80);
  source.show();
  return QApplication::exec();
}
