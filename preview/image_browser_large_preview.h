#pragma once
// A large look at one file of the library grid: the picture fitted in a
// window of its own, loaded in the background. Escape closes it.

#include <QImage>
#include <QWidget>
#include <memory>
#include <string>

namespace foundation {
class SerialQueue;
}

namespace velumar {

class LargePreviewWindow : public QWidget {
  Q_OBJECT

 public:
  explicit LargePreviewWindow(QWidget* parent = nullptr);
  ~LargePreviewWindow() override;

  // Shows the file (a placeholder until it is loaded).
  void showFile(const std::string& path);
  const std::string& path() const { return path_; }
  const QImage& picture() const { return picture_; }

 signals:
  void pictureLoaded();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  std::string path_;
  QImage picture_;
  std::shared_ptr<char> alive_ = std::make_shared<char>();
  std::unique_ptr<foundation::SerialQueue> queue_;
};

}  // namespace velumar
