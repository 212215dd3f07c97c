#pragma once
// The preview view: the placeholder with an invitation to drop files, the
// processed picture of the current entry with its watermarks, or the
// unprocessed picture (held-down button, crop drag) with the crop frame.
// Geometry is computed y-up and converted at the painter; the picture is a
// premultiplied RGBA8888 sRGB QImage at one pixel per point, which the
// watermark pass draws into through a raster context over its buffer.

#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/image_modify_info.h"
#include "platform/ci/image.h"
#include "platform/foundation/value.h"
#include "platform/raster/geometry.h"
#include "platform/ui/hold_down_button.h"
#include "preview/crop_picker_link.h"
#include "preview/preview_picture.h"

namespace velumar {

class ImportedImage;

class PreviewImageView : public QWidget, public ui::HoldDownPreview {
  Q_OBJECT

 public:
  explicit PreviewImageView(QWidget* parent = nullptr);
  ~PreviewImageView() override;

  // ---- Showing ---------------------------------------------------------------
  // Loads and shows a file. When it cannot be shown: false, previewURL
  // stays, the size and information labels are emptied, and the view draws
  // a placeholder that names the file and says why instead of the previous
  // picture.
  bool showFile(const std::string& path, bool revealOverlays = true);
  // Shows a loaded picture of the file at path as the current entry.
  void showPicture(PreviewPicture picture, const std::string& path, bool revealOverlays = true);
  // Makes a picture the loaded one (capped copies, sizes, dpi).
  void updateImageWithPicture(PreviewPicture picture);
  // Back to the placeholder and the empty state.
  void resetOriginalImage();
  // A processed render of the current entry from the converter, shown with
  // the watermarks; previewPixelSize is the size the output would have.
  void setProcessedImage(const QImage& image, raster::Size previewPixelSize);

  bool isOriginalImage() const override { return isOriginalImage_; }
  const std::optional<std::string>& previewURL() const { return previewURL_; }
  // The file whose picture, or whose cannot-show placeholder, is drawn.
  std::optional<std::string> displayedFile() const {
    return unavailableFile_ ? unavailableFile_ : previewURL_;
  }
  // The placeholder's text while the last file asked for cannot be shown.
  const QString& unavailableText() const { return unavailableText_; }
  raster::Size imageURLSize() const { return imageURLSize_; }
  raster::Size imageURLPreviewSize() const { return imageURLPreviewSize_; }
  double currentImageDpi() const { return currentImageDpi_; }
  const ci::ImageRef& rawDepthImage() const { return rawDepthImage_; }
  // The bitmap drawn (with watermarks after a render) and the unprocessed one.
  const QImage& shownImage() const { return image_; }
  const QImage& rawImageBackup() const { return rawImageBackup_; }
  // The information of the shown file, as posted with
  // "previewNewImageFromDragAndDrop"; a builder may replace the basic one.
  using InformationBuilder = std::function<foundation::Value(const std::string& path)>;
  void setInformationBuilder(InformationBuilder builder) { informationBuilder_ = std::move(builder); }

  // ---- Drawing state ------------------------------------------------------
  void setShowOriginalImage(bool show) override;
  bool showOriginalImage() const { return showOriginalImage_; }
  // false asks the next pass to render the watermarks again.
  void setDrawImageOnly(bool drawImageOnly);
  bool drawImageOnly() const { return drawImageOnly_; }
  void setPreviewInfo(const ImageModifyInfo& info);
  ImageModifyInfo previewInfo() const { return previewInfo_; }
  // The watermark text, date, font, attributes and picture the pass draws.
  ImportedImage& watermarks() { return *watermarks_; }
  // Renders the watermarks over the unwatermarked picture now.
  void drawTextAndImageWithInfo(const ImageModifyInfo& info);
  // The unprocessed picture's place in the view (y up) and its scale.
  raster::Rect drawingRectForOriginalImage(double* ratio = nullptr) const;
  // The band at the bottom of the view that the overlay strip takes: the
  // pictures are fitted into the rest (the picture area) and never drawn
  // under the strip, whether the strip is shown or not.
  int overlayBandHeight() const;
  QSize pictureAreaSize() const { return {width(), std::max(0, height() - overlayBandHeight())}; }
  double pixelScaling() const;
  bool inLiveResize() const { return liveResize_.isActive(); }

  // ---- Crop picking -------------------------------------------------------
  void setCropPicker(std::shared_ptr<CropPickerLink> picker) { cropPicker_ = std::move(picker); }
  void setCropOriginalSize(raster::Size size) { cropOriginalSize_ = size; }
  raster::Point cropCenter() const { return cropCenter_; }
  bool isCropping() const { return isCropping_; }

  // ---- Window parts ------------------------------------------------------------
  void setCanAcceptImages(std::function<bool()> canAccept) { canAcceptImages_ = std::move(canAccept); }
  // The overlays keep their room while hidden: the view is never narrower
  // than they need (the counter shows whole at any count).
  void setOverlayViews(QWidget* processView, QWidget* infoView);
  // At least 320 x 240, and as wide as the overlays laid out need.
  QSize minimumSizeHint() const override;
  void setContextMenu(QMenu* menu) { contextMenu_ = menu; }
  // The show rule of the overlays (also run when the pointer enters).
  void showProcessAndInfoViews();
  void hideProcessAndInfoViews();

 signals:
  // The loaded picture changed: the window fits itself to it.
  void pictureChanged();
  void imageSizeLabelChanged(const QString& text);
  void imageInfoLabelChanged(const QString& text);
  // The file asked for cannot be shown: the placeholder says why, and
  // nothing of the last file may stay on show.
  void pictureUnavailable();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  bool canAcceptImages() const { return !canAcceptImages_ || canAcceptImages_(); }
  raster::Point cropPointOfEvent(const QMouseEvent& event) const;
  // The picker takes the event's crop point; moving while the drag goes on.
  void moveCropPoint(const QMouseEvent& event, bool moving);
  void drawEmptyState(QPainter& painter);
  void drawUnavailable(QPainter& painter);
  void drawInvitationText(QPainter& painter, const QString& text);
  void drawPicture(QPainter& painter, const QImage& picture, const raster::Rect& rect);
  // A picture of that pixel size fitted into the picture area (y up).
  raster::Rect pictureRect(const QImage& picture, double* ratio = nullptr) const;
  void drawRectForCrop(QPainter& painter, const raster::Rect& rect, double ratio);
  void updateSizeLabel();
  foundation::Value basicInformation(const std::string& path, const PreviewPicture& picture) const;

  QImage placeholder_;
  QImage image_;
  QImage rawImage_;
  QImage rawImageBackup_;
  QImage invitationShadow_;
  ci::ImageRef rawDepthImage_;
  std::optional<std::string> previewURL_;
  std::optional<std::string> unavailableFile_;
  QString unavailableText_;
  raster::Size imageURLSize_;
  raster::Size imageURLPreviewSize_;
  double currentImageDpi_ = 72;
  bool isOriginalImage_ = true;
  bool showOriginalImage_ = false;
  bool drawImageOnly_ = true;
  bool isCropping_ = false;
  raster::Point cropCenter_;
  raster::Size cropOriginalSize_;
  ImageModifyInfo previewInfo_;
  std::unique_ptr<ImportedImage> watermarks_;
  std::shared_ptr<CropPickerLink> cropPicker_;
  std::function<bool()> canAcceptImages_;
  InformationBuilder informationBuilder_;
  QPointer<QWidget> processView_;
  QPointer<QWidget> infoView_;
  QPointer<QMenu> contextMenu_;
  // Running while the view is being resized: pictures are drawn without
  // interpolation and the watermarks are not rendered again.
  QTimer liveResize_;
};

}  // namespace velumar
