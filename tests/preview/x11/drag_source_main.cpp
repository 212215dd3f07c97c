// A separate process that drags files: it shows a small window at the top
// left of the screen and, once the pointer is pressed in it and moves,
// drags the paths given on its command line as a text/uri-list. It prints
// "ready" when its window is up and exits a while after the drag ended.
#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

class DragSource : public QWidget {
 public:
  explicit DragSource(QList<QUrl> urls) : urls_(std::move(urls)) {}

 protected:
  void mousePressEvent(QMouseEvent*) override { pressed_ = true; }
  void mouseMoveEvent(QMouseEvent*) override {
    if (!pressed_ || dragging_) return;
    dragging_ = true;
    auto* drag = new QDrag(this);
    auto* mime = new QMimeData;
    mime->setUrls(urls_);
    drag->setMimeData(mime);
    const Qt::DropAction result = drag->exec(Qt::CopyAction);
    std::printf("drag ended %d\n", int(result));
    std::fflush(stdout);
    // The target asks for the data after the drop: keep answering a while.
    QTimer::singleShot(3000, qApp, &QApplication::quit);
  }

 private:
  QList<QUrl> urls_;
  bool pressed_ = false;
  bool dragging_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QList<QUrl> urls;
  for (int i = 1; i < argc; ++i) urls.append(QUrl::fromLocalFile(QFile::decodeName(argv[i])));
  DragSource source(urls);
  source.setWindowFlag(Qt::FramelessWindowHint);
  source.setGeometry(0, 0, 100, 100);
  source.show();
  QTimer::singleShot(300, [] {
    std::printf("ready\n");
    std::fflush(stdout);
  });
  // Never hang a test run.
  QTimer::singleShot(20000, &application, &QApplication::quit);
  return application.exec();
}
