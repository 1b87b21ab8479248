// drag_source PATH...: a small window titled "drag source" that starts a
// drag of PATH... as local file URLs (text/uri-list) when the mouse is
// pressed on it, for the end-to-end test, which moves the mouse with
// xdotool: a real X11 drag and drop (XDND) onto another program's window.
// Prints "accepted" or "refused" once the drag is over, and ends 10 seconds
// later.

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

class Source final : public QWidget {
 public:
  explicit Source(QList<QUrl> urls) : m_urls(std::move(urls)) {}

 protected:
  void mousePressEvent(QMouseEvent*) override {
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setUrls(m_urls);
    drag->setMimeData(data);
    const Qt::DropAction done = drag->exec(Qt::CopyAction);
    std::puts(done == Qt::CopyAction ? "accepted" : "refused");
    std::fflush(stdout);
    // The target may still be fetching the data, which this program serves.
    QTimer::singleShot(10000, qApp, &QApplication::quit);
  }

 private:
  QList<QUrl> m_urls;
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QList<QUrl> urls;
  for (int i = 1; i < argc; ++i) urls << QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i]));
  Source source(urls);
  source.setWindowTitle(QStringLiteral("drag source"));
  source.setGeometry(900, 500, 120, 80);
  source.show();
  return QApplication::exec();
}
