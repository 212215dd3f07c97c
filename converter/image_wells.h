#pragma once
// The Modify tab's image wells: the LUT well (one .cube file), the
// composite and watermark wells (one image file each) and the example-image
// well beside the filter slots. Drops and open-panel choices are read 0.1
// seconds later, after the drag has ended; the drop wells then post their
// notification. Wells take local files only.

#include <QImage>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "engine/imported_image.h"
#include "presets/converter_controls.h"

class QMimeData;

namespace velumar {

// The image a widget shows of a picture at the display's pixel ratio.
QImage qImageOf(const raster::ImageSet& picture, double devicePixelRatio);
// A widget's image as a picture of one 8-bit RGBA representation (sRGB,
// one point a pixel); nullptr for a null image.
std::shared_ptr<raster::ImageSet> imageSetOf(const QImage& image);

// The frame, background and thumbnail every drop well draws.
class WellView : public QWidget {
  Q_OBJECT

 public:
  explicit WellView(const QColor& fill, QWidget* parent = nullptr);
  QSize sizeHint() const override { return {100, 100}; }
  // The local file a drag carries when it is exactly one; nullopt else.
  static std::optional<std::string> singleLocalFile(const QMimeData& mime);
  // A dead well is drawn at alpha 0.5.
  void setAlpha(double alpha);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  static void refuse(QDropEvent* event);
  // The thumbnail shown, or null for the placeholder.
  virtual QImage shownImage() const = 0;
  virtual void drawPlaceholder(QPainter& painter, const QRectF& area) const;

 private:
  QColor fill_;
  double alpha_ = 1.0;
};

class LUTWellView : public WellView {
  Q_OBJECT

 public:
  LUTWellView(LUTWell& model, QWidget* parent = nullptr);
  // Reads a .cube file into the well; with notify, posts "LUTDragAndDrop".
  bool verifyCubeLUT(const std::string& path, bool notify);
  // Restores a LUT a preset carries: [size, data, path].
  bool updateLUTWithArray(const foundation::Array& lut);
  void importLUTFrom();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  QImage shownImage() const override { return {}; }
  void drawPlaceholder(QPainter& painter, const QRectF& area) const override;

 private:
  LUTWell& model_;
};

// The composite ("compositeImageDragAndDrop", the full-size picture as the
// payload) and watermark ("watermarkImageDragAndDrop", nothing) wells.
class PictureWellView : public WellView {
  Q_OBJECT

 public:
  struct Texts {
    const char* notification;
    const char* panelTitle;
    const char* panelMessage;
    bool postsPicture;
  };
  PictureWellView(ImageWell& model, const ImportedImage& engine, Texts texts, QWidget* parent = nullptr);
  // Loads a file into the well; with notify, posts the well's notification.
  bool updateImageAfterDragAndDropWithURL(const std::string& path, bool notify = true);
  void importImageFrom();
  // Shows the model's picture again (after a preset or a reset).
  void showModel();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  QImage shownImage() const override { return thumbnail_; }

 private:
  bool accepts(const std::optional<std::string>& path) const;
  ImageWell& model_;
  const ImportedImage& engine_;
  Texts texts_;
  QImage thumbnail_;
  const raster::ImageSet* shownPicture_ = nullptr;
};

// The example image beside the filter slots: the unfiltered thumbnail of
// the picture the preview shows (or a placeholder) and its filtered copy.
class ExampleImageWell : public QWidget {
  Q_OBJECT

 public:
  explicit ExampleImageWell(QWidget* parent = nullptr);
  QSize sizeHint() const override { return {60, 60}; }

  // The thumbnail of a picture becomes the unfiltered source; nothing for
  // no picture.
  void updateImageWithImage(const std::shared_ptr<const raster::ImageSet>& picture);
  void resetOriginalImage();
  const std::shared_ptr<raster::ImageSet>& backupImage() const { return backupImage_; }
  // The example image shown.
  void setImage(std::shared_ptr<raster::ImageSet> image);
  const std::shared_ptr<raster::ImageSet>& image() const { return image_; }
  // The rectangle the shown image covers, y down.
  QRect imageRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::shared_ptr<raster::ImageSet> originalImage_, backupImage_, image_;
};

}  // namespace velumar
