// A window at the given place that, when pressed, drags the given path as a
// file URL and reports how the drop ended. It says "ready" once it is on
// screen, and stays two seconds past the drop, so the target can fetch the
// data: drag_source PATH X Y
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <QWindow>
#include <cstdio>

namespace {

class DragSource : public QWidget {
 public:
  explicit DragSource(QString path) : path_(std::move(path)) {}

 protected:
  void mousePressEvent(QMouseEvent*) override {
    auto* mime = new QMimeData;
    // As a file manager offers it: the raw list only.
    mime->setData(QStringLiteral("text/uri-list"), QUrl::fromLocalFile(path_).toEncoded() + "\r\n");
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    const Qt::DropAction action = drag->exec(Qt::CopyAction);
    std::printf("dropped %s\n", action == Qt::CopyAction ? "copy" : "none");
    std::fflush(stdout);
    // The drop returns before the target has fetched the data, which this
    // process still serves: stay a while.
    QTimer::singleShot(2000, &QApplication::quit);
  }

 private:
  QString path_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 4) return 2;
  DragSource source(QString::fromLocal8Bit(argv[1]));
  source.setGeometry(std::atoi(argv[2]), std::atoi(argv[3]), 200, 200);
  source.show();
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (source.windowHandle() == nullptr || !source.windowHandle()->isExposed()) return;
    poll.stop();
    std::printf("ready\n");
    std::fflush(stdout);
  });
  poll.start(20);
  return application.exec();
}
