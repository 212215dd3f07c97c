#include "preview/preview_image_view.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "engine/depth_image_service.h"
#include "engine/image_info.h"
#include "engine/imported_image.h"
#include "platform/foundation/failure_cause.h"
#include "platform/foundation/files.h"
#include "platform/foundation/notification_center.h"
#include "platform/raster/bitmap_context.h"
#include "platform/raster/color_space.h"
#include "platform/ui/flipped_coordinates.h"
#include "platform/ui/shadow_helper.h"
#include "preview/preview_geometry.h"

namespace velumar {
namespace {

constexpr double kPlaceholderSide = 200;
constexpr double kInvitationWidth = 302;
constexpr double kInvitationHeight = 100;
const char* const kInvitation = "Drag and Drop folders/images here";
const ui::ShadowStyle kPictureShadow{10.0, {0, 0}, Qt::black};

QRectF toQt(const raster::Rect& rect) {
  return {rect.origin.x, rect.origin.y, rect.size.width, rect.size.height};
}

// The settings the preview draws with before the converter sends any: the
// defaults of a new preset with every watermark off and centred at the
// lower left.
ImageModifyInfo initialPreviewInfo() {
  ImageModifyInfo info = ImageModifyInfo::zeroed();
  ImageInfo::initializeImageInfo(info);
  info.addWatermarkText = info.addWatermarkDate = info.addWatermarkImage = false;
  info.textAngle = info.textObliqueness = 0;
  info.textOpacity = 1.0;
  info.dateStyle = 1;
  info.imageAngle = 0;
  info.imageSizePercent = info.imageOpacity = 1.0;
  info.textOrigin = info.imageOrigin = {0, 0};
  return info;
}

QImage loadPlaceholder() {
  QImage placeholder(QString::fromStdString(foundation::bundleResourcePath("bubbles.png")));
  if (placeholder.isNull()) {
    placeholder = QImage(int(kPlaceholderSide), int(kPlaceholderSide), QImage::Format_RGBA8888_Premultiplied);
    placeholder.fill(Qt::transparent);
  }
  return placeholder.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

// The view's clip: the lower corners rounded by 3 points, the upper square.
QPainterPath viewClip(double width, double height) {
  QPainterPath path;
  path.moveTo(0, height - 3);
  path.arcTo(QRectF(0, height - 6, 6, 6), 180, 90);
  path.lineTo(width - 3, height);
  path.arcTo(QRectF(width - 6, height - 6, 6, 6), 270, 90);
  path.lineTo(width, 0);
  path.lineTo(0, 0);
  path.closeSubpath();
  return path;
}

QFont invitationFont(const QFont& base) {
  QFont font = base;
  font.setPixelSize(18);
  return font;
}

}  // namespace

PreviewImageView::PreviewImageView(QWidget* parent)
    : QWidget(parent), previewInfo_(initialPreviewInfo()), watermarks_(std::make_unique<ImportedImage>()) {
  setAcceptDrops(true);
  setMouseTracking(false);
  liveResize_.setSingleShot(true);
  liveResize_.setInterval(200);
  connect(&liveResize_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
  placeholder_ = loadPlaceholder();
  resetOriginalImage();
}

PreviewImageView::~PreviewImageView() = default;

// ---- Showing -------------------------------------------------------------------

bool PreviewImageView::showFile(const std::string& path, bool revealOverlays) {
  std::optional<PreviewPicture> picture;
  foundation::Failure failure;
  {
    const foundation::FailureScope scope;
    picture = loadPreviewPicture(path, watermarks_.get());
    if (!picture) failure = foundation::takeFailure();
  }
  if (!picture) {
    if (!failure) failure.cause = foundation::FailureCause::FormatNotSupported;
    unavailableFile_ = path;
    const QString name = QFile::decodeName(QByteArray::fromStdString(std::filesystem::path(path).filename().string()));
    unavailableText_ = tr("Cannot show \u201c%1\u201d.\n%2")
                           .arg(name, QString::fromStdString(std::string(failureCauseText(failure.cause))));
    // No size or type under the placeholder: they would be the last file's.
    emit imageSizeLabelChanged(QString());
    emit imageInfoLabelChanged(QString());
    emit pictureUnavailable();
    update();
    return false;
  }
  rawDepthImage_ = getDepthImageWithURL(path);
  showPicture(std::move(*picture), path, revealOverlays);
  return true;
}

void PreviewImageView::showPicture(PreviewPicture picture, const std::string& path, bool revealOverlays) {
  isOriginalImage_ = false;
  unavailableFile_.reset();
  unavailableText_.clear();
  if (revealOverlays) showProcessAndInfoViews();
  const PreviewPicture shown = picture;
  updateImageWithPicture(std::move(picture));
  emit imageSizeLabelChanged(QStringLiteral("%1 x %2")
                                 .arg(std::int64_t(shown.pixelSize.width))
                                 .arg(std::int64_t(shown.pixelSize.height)));
  previewURL_ = path;
  watermarks_->updateImageDateWithURL(path, nullptr);

  const foundation::Value information =
      informationBuilder_ ? informationBuilder_(path) : basicInformation(path, shown);
  const foundation::Value* typeValue = information.get("File Type Extension");
  const foundation::Value* depthValue = information.get({"Image Dictionary", "Depth"});
  const QString type =
      typeValue && typeValue->asString() ? QString::fromStdString(*typeValue->asString()) : "";
  const QString depth = depthValue && depthValue->toInt() ? QString::number(*depthValue->toInt()) : "";
  QString infoLabel;
  if (!type.isEmpty() && !depth.isEmpty())
    infoLabel = QStringLiteral("%1 , %2 bit").arg(type, depth);
  else if (!type.isEmpty())
    infoLabel = type;
  else if (!depth.isEmpty())
    infoLabel = QStringLiteral("%1 bit").arg(depth);
  emit imageInfoLabelChanged(infoLabel);
  foundation::NotificationCenter::defaultCenter().post("previewNewImageFromDragAndDrop", nullptr,
                                                       information);
}

foundation::Value PreviewImageView::basicInformation(const std::string& path,
                                                     const PreviewPicture& picture) const {
  foundation::Dictionary image;
  image.set("PixelWidth", std::int64_t(picture.pixelSize.width));
  image.set("PixelHeight", std::int64_t(picture.pixelSize.height));
  if (picture.bitsPerSample > 0) image.set("Depth", picture.bitsPerSample);
  image.set("DPIWidth", picture.dpi);
  foundation::Dictionary information;
  const QString suffix = QFileInfo(QString::fromLocal8Bit(path.c_str())).suffix().toLower();
  if (!suffix.isEmpty()) information.set("File Type Extension", suffix.toStdString());
  information.set("Image Dictionary", std::move(image));
  return information;
}

void PreviewImageView::updateImageWithPicture(PreviewPicture picture) {
  if (picture.image.isNull()) return;
  currentImageDpi_ = picture.dpi;
  imageURLSize_ = picture.pixelSize;
  imageURLPreviewSize_ = {};
  image_ = picture.image;
  // Two copies that later draws into image_ leave alone (QImage detaches).
  rawImage_ = image_;
  rawImageBackup_ = image_;
  emit pictureChanged();
  update();
}

void PreviewImageView::resetOriginalImage() {
  isOriginalImage_ = true;
  previewURL_.reset();
  unavailableFile_.reset();
  unavailableText_.clear();
  imageURLSize_ = imageURLPreviewSize_ = {};
  currentImageDpi_ = 72;
  rawDepthImage_.reset();
  image_ = rawImage_ = rawImageBackup_ = placeholder_;
  drawImageOnly_ = true;
  watermarks_->watermarkDrawDate.clear();
  watermarks_->watermarkMetadataDate = std::chrono::system_clock::now();
  hideProcessAndInfoViews();
  update();
}

void PreviewImageView::setProcessedImage(const QImage& image, raster::Size previewPixelSize) {
  // A render of the previous file must not stand in for one that cannot be shown.
  if (image.isNull() || isOriginalImage_ || unavailableFile_) return;
  image_ = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
  rawImage_ = image_;
  imageURLPreviewSize_ = previewPixelSize;
  drawImageOnly_ = false;
  update();
}

// ---- Drawing state -----------------------------------------------------------------

void PreviewImageView::setShowOriginalImage(bool show) {
  if (showOriginalImage_ == show) return;
  showOriginalImage_ = show;
  update();
}

void PreviewImageView::setDrawImageOnly(bool drawImageOnly) {
  drawImageOnly_ = drawImageOnly;
  if (!drawImageOnly) update();
}

void PreviewImageView::setPreviewInfo(const ImageModifyInfo& info) {
  previewInfo_ = info;
}

double PreviewImageView::pixelScaling() const {
  const double ratio = devicePixelRatioF();
  return ratio > 0 ? ratio : 1.0;
}

raster::Rect PreviewImageView::drawingRectForOriginalImage(double* ratio) const {
  return pictureRect(rawImageBackup_, ratio);
}

raster::Rect PreviewImageView::pictureRect(const QImage& picture, double* ratio) const {
  const QSize area = pictureAreaSize();
  raster::Rect rect =
      drawingRectForImage({double(area.width()), double(area.height())},
                          {double(picture.width()), double(picture.height())}, pixelScaling(), ratio);
  // y grows upward: the area starts above the band.
  if (rect.size.width > 0) rect.origin.y += height() - area.height();
  return rect;
}

int PreviewImageView::overlayBandHeight() const {
  int strip = 0;
  for (const QWidget* overlay : {processView_.data(), infoView_.data()})
    if (overlay) strip = std::max(strip, overlay->sizeHint().height());
  if (strip == 0) return 0;
  // The strip's margin below it is kept above it too.
  const int margin = layout() ? layout()->contentsMargins().bottom() : 0;
  return std::min(height(), strip + 2 * margin);
}

void PreviewImageView::updateSizeLabel() {
  if (unavailableFile_ || !(imageURLSize_.width > 0 && imageURLSize_.height > 0)) return;
  const raster::Size shown = imageURLPreviewSize_.width > 0 && imageURLPreviewSize_.height > 0
                                 ? imageURLPreviewSize_
                                 : imageURLSize_;
  emit imageSizeLabelChanged(
      QStringLiteral("%1 x %2").arg(std::int64_t(shown.width)).arg(std::int64_t(shown.height)));
}

void PreviewImageView::drawTextAndImageWithInfo(const ImageModifyInfo& info) {
  updateSizeLabel();
  if (image_.isNull() || rawImage_.isNull()) return;
  if (rawImage_.size() != image_.size() || rawImage_.format() != image_.format())
    rawImage_ = rawImage_.convertToFormat(image_.format()).scaled(image_.size());
  // The unwatermarked picture replaces every pixel, then the marks go on top.
  uchar* pixels = image_.bits();
  for (int y = 0; y < image_.height(); ++y)
    std::memcpy(pixels + std::size_t(y) * std::size_t(image_.bytesPerLine()), rawImage_.constScanLine(y),
                std::size_t(image_.width()) * 4);
  if (info.addWatermarkText || info.addWatermarkImage) {
    auto context = raster::BitmapContext::createWithData(
        pixels, image_.width(), image_.height(), std::size_t(image_.bytesPerLine()),
        raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
    if (context) watermarks_->drawTextAndImageWithContext(context.get(), info);
  }
  drawImageOnly_ = true;
}

// ---- Painting --------------------------------------------------------------------------

void PreviewImageView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setClipPath(viewClip(width(), height()));
  if (unavailableFile_) {
    drawUnavailable(painter);
    return;
  }
  if (isOriginalImage_) {
    drawEmptyState(painter);
    return;
  }
  const bool remembered = showOriginalImage_;
  const bool cropDrag = cropPicker_ && cropPicker_->viewIsMovingMouse();
  if (cropDrag) showOriginalImage_ = true;
  painter.setRenderHint(QPainter::SmoothPixmapTransform, !inLiveResize());
  // Pictures, their shadow and the crop frame stay out of the strip's band.
  painter.setClipRect(QRect(QPoint(0, 0), pictureAreaSize()), Qt::IntersectClip);
  if (showOriginalImage_) {
    double ratio = 0;
    const raster::Rect rect = drawingRectForOriginalImage(&ratio);
    drawPicture(painter, rawImageBackup_, rect);
    drawRectForCrop(painter, rect, ratio);
  } else {
    if (!inLiveResize() && !drawImageOnly_) drawTextAndImageWithInfo(previewInfo_);
    drawPicture(painter, image_, pictureRect(image_));
  }
  showOriginalImage_ = remembered;
}

void PreviewImageView::drawPicture(QPainter& painter, const QImage& picture, const raster::Rect& rect) {
  if (picture.isNull() || rect.size.width <= 0 || rect.size.height <= 0) return;
  const QRectF target = ui::flippedRect(toQt(rect), height());
  QPainterPath shape;
  shape.addRect(target);
  ui::drawShadow(painter, shape, kPictureShadow);
  painter.drawImage(target, picture);
}

void PreviewImageView::drawEmptyState(QPainter& painter) {
  const double w = width(), h = height();
  const QRectF square = ui::flippedRect(
      {(w - kPlaceholderSide) / 2, (h - kPlaceholderSide) / 2, kPlaceholderSide, kPlaceholderSide}, h);
  painter.setOpacity(double(0.9f));
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(square, placeholder_);
  painter.setOpacity(1.0);

  drawInvitationText(painter, kInvitation);
}

void PreviewImageView::drawUnavailable(QPainter& painter) {
  const double w = width(), h = height();
  const QRectF square = ui::flippedRect(
      {(w - kPlaceholderSide) / 2, (h - kPlaceholderSide) / 2, kPlaceholderSide, kPlaceholderSide}, h);
  painter.setOpacity(0.35);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(square, placeholder_);
  painter.setOpacity(1.0);
  drawInvitationText(painter, unavailableText_);
}

void PreviewImageView::drawInvitationText(QPainter& painter, const QString& text) {
  const double w = width(), h = height();
  const QRectF box =
      ui::flippedRect({std::floor((w - kInvitationWidth) / 2 + 0.5), std::floor((h - 300) / 2 + 0.5) - 72,
                       kInvitationWidth, kInvitationHeight},
                      h);
  const QFont font = invitationFont(this->font());
  const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
  if (text != kInvitation) {
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(box, flags, text);
    return;
  }
  // The invitation casts a soft black shadow 3.1 right and 3.1 down.
  if (invitationShadow_.isNull()) {
    QImage mask(int(kInvitationWidth), int(kInvitationHeight), QImage::Format_Alpha8);
    mask.fill(0);
    QPainter maskPainter(&mask);
    maskPainter.setFont(font);
    maskPainter.setPen(Qt::black);
    maskPainter.drawText(QRectF(0, 0, kInvitationWidth, kInvitationHeight), flags, kInvitation);
    maskPainter.end();
    invitationShadow_ = ui::shadowOfMask(mask, 15.0, Qt::black);
  }
  const double margin = ui::shadowMargin(15.0);
  painter.drawImage(box.topLeft() + QPointF(3.1 - margin, 3.1 - margin), invitationShadow_);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(box, flags, kInvitation);
}

void PreviewImageView::drawRectForCrop(QPainter& painter, const raster::Rect& rect, double ratio) {
  if (!cropPicker_ || !cropPicker_->viewIsMovingMouse()) return;
  const raster::Point point = cropPicker_->mousePoint();
  cropCenter_ = {point.x / 100, point.y / 100};
  const std::optional<raster::Rect> frame =
      cropFrameRect(rect, ratio, point, cropOriginalSize_, pixelScaling());
  if (!frame) return;
  const double k = cropLineScale(rect);
  const QRectF visible = ui::flippedRect(toQt(*frame), height());
  painter.save();
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(Qt::white, 3 * k, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin));
  painter.drawRect(visible);
  // Guides at 0.33 and 0.66 (not thirds), dashed 4 on, 4 off in points.
  QPen guide(QColor(255, 255, 255, 128), 2 * k, Qt::CustomDashLine, Qt::RoundCap, Qt::BevelJoin);
  if (k > 0) guide.setDashPattern({4 / (2 * k), 4 / (2 * k)});
  painter.setPen(guide);
  const raster::Rect& v = *frame;
  // Both horizontal lines first, then both vertical ones.
  const double fractions[] = {double(0.33f), double(0.66f)};
  for (int i = 0; i < 4; ++i) {
    const double f = fractions[i % 2];
    const bool horizontal = i < 2;
    const raster::Point from = horizontal ? raster::Point{v.origin.x, v.origin.y + f * v.size.height}
                                          : raster::Point{v.origin.x + f * v.size.width, v.origin.y};
    const raster::Point to = horizontal ? raster::Point{v.origin.x + v.size.width, from.y}
                                        : raster::Point{from.x, v.origin.y + v.size.height};
    painter.drawLine(ui::flippedPoint({from.x, from.y}, height()), ui::flippedPoint({to.x, to.y}, height()));
  }
  painter.restore();
}

void PreviewImageView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (isVisible()) liveResize_.start();
}

// ---- Crop picking -------------------------------------------------------------------

raster::Point PreviewImageView::cropPointOfEvent(const QMouseEvent& event) const {
  const QPointF yUp = ui::flippedPoint(event.position(), height());
  return cropPointForLocation({yUp.x(), yUp.y()}, drawingRectForOriginalImage());
}

void PreviewImageView::mousePressEvent(QMouseEvent* event) {
  isCropping_ = false;
  if (event->button() != Qt::LeftButton || !canAcceptImages() || !cropPicker_ ||
      !picksCropCentre(cropPicker_->resizeMethod()))
    return;
  isCropping_ = true;
  moveCropPoint(*event, true);
}

void PreviewImageView::mouseMoveEvent(QMouseEvent* event) {
  if (isCropping_ && cropPicker_) moveCropPoint(*event, true);
}

void PreviewImageView::moveCropPoint(const QMouseEvent& event, bool moving) {
  cropPicker_->setMousePoint(cropPointOfEvent(event));
  cropPicker_->setViewIsMovingMouse(moving);
  cropPicker_->setNeedsDisplay();
  // On release the converter renders and shows the new preview.
  if (moving) update();
}

void PreviewImageView::mouseReleaseEvent(QMouseEvent* event) {
  if (!isCropping_ || !cropPicker_) return;
  moveCropPoint(*event, false);
  isCropping_ = false;
  foundation::NotificationCenter::defaultCenter().post("cropImagePosition");
}

// ---- Pointer feedback ------------------------------------------------------------------

QSize PreviewImageView::minimumSizeHint() const {
  return QSize(320, 240).expandedTo(QWidget::minimumSizeHint());
}

void PreviewImageView::setOverlayViews(QWidget* processView, QWidget* infoView) {
  processView_ = processView;
  infoView_ = infoView;
  for (QWidget* overlay : {processView, infoView}) {
    if (!overlay) continue;
    QSizePolicy policy = overlay->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    overlay->setSizePolicy(policy);
  }
  hideProcessAndInfoViews();
}

void PreviewImageView::showProcessAndInfoViews() {
  if (!canAcceptImages()) return;
  if (isOriginalImage_) return hideProcessAndInfoViews();
  for (QWidget* overlay : {processView_.data(), infoView_.data()})
    if (overlay) overlay->setVisible(true);
}

void PreviewImageView::hideProcessAndInfoViews() {
  for (QWidget* overlay : {processView_.data(), infoView_.data()})
    if (overlay) overlay->setVisible(false);
}

void PreviewImageView::enterEvent(QEnterEvent*) {
  showProcessAndInfoViews();
}

void PreviewImageView::leaveEvent(QEvent*) {
  hideProcessAndInfoViews();
}

void PreviewImageView::contextMenuEvent(QContextMenuEvent* event) {
  if (canAcceptImages() && contextMenu_) contextMenu_->popup(event->globalPos());
  event->accept();
}

}  // namespace velumar
