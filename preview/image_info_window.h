#pragma once
// The image-info window: file information (labels and values) beside
// camera information (24 EXIF and TIFF fields), four columns in a scroll
// area. It follows the file the preview shows through
// "previewNewImageFromDragAndDrop".

#include <QWidget>

#include "platform/foundation/notification_center.h"
#include "platform/foundation/value.h"

class QLabel;
class QScrollArea;

namespace velumar {

class ImageInfoWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ImageInfoWindow(QWidget* parent = nullptr);

  // Fills the columns; nullptr: nothing is shown.
  void updateImageInfoValuesWithDictionary(const foundation::Value* information);
  // Shows the window in front and makes it key, unless it already is.
  void bringForward();

  QString fileLabels() const;
  QString fileValues() const;
  QString cameraLabels() const;
  QString cameraValues() const;

 private:
  QScrollArea* scrollArea_ = nullptr;
  QLabel* infoImageText_ = nullptr;
  QLabel* infoImageValues_ = nullptr;
  QLabel* infoImageTextAux_ = nullptr;
  QLabel* infoImageValuesAux_ = nullptr;
  foundation::ObserverToken observer_;
};

}  // namespace velumar
