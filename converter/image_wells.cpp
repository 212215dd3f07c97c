#include "converter/image_wells.h"

#include <QAbstractButton>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QUrl>
#include <cstring>

#include "converter/control_binder.h"
#include "converter/well_images.h"
#include "filters/cube_file.h"
#include "platform/foundation/log.h"
#include "platform/foundation/main_loop.h"
#include "platform/foundation/notification_center.h"
#include "platform/ui/flipped_coordinates.h"
#include "platform/ui/popover.h"

namespace velumar {

namespace {

constexpr double kReadDelay = 0.1;

bool isRGBA8(const raster::BitmapImageRep& rep) {
  const raster::PixelFormat& f = rep.pixelFormat();
  return f.bitsPerComponent == 8 && f.colorComponents == 3 && f.alpha == raster::AlphaInfo::PremultipliedLast;
}

// The picture the example well starts with: a soft colour field, so that
// the filters' effect shows before any picture was chosen.
std::shared_ptr<raster::ImageSet> placeholderPicture() {
  constexpr int kSide = 120;
  QImage image(kSide, kSide, QImage::Format_RGBA8888_Premultiplied);
  QPainter painter(&image);
  QLinearGradient gradient(0, 0, kSide, kSide);
  gradient.setColorAt(0, QColor(230, 120, 60));
  gradient.setColorAt(0.5, QColor(90, 170, 110));
  gradient.setColorAt(1, QColor(40, 90, 200));
  painter.fillRect(image.rect(), gradient);
  painter.end();
  return imageSetOf(image);
}

void strokeFrame(QPainter& painter, const QPainterPath& path) {
  painter.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(path);
}

QRectF fitted(const QSizeF& image, const QRectF& area) {
  if (image.isEmpty()) return {};
  const double scale = std::min({1.0, area.width() / image.width(), area.height() / image.height()});
  const QSizeF size = image * scale;
  return {area.center() - QPointF(size.width() / 2, size.height() / 2), size};
}

}  // namespace

QImage qImageOf(const raster::ImageSet& picture, double devicePixelRatio) {
  raster::BitmapImageRepRef chosen;
  const double wanted = picture.size().width * devicePixelRatio;
  for (const raster::BitmapImageRepRef& rep : picture.representations()) {
    if (!rep || !rep->image()) continue;
    const bool enough = double(rep->pixelsWide()) >= wanted;
    if (!chosen ||
        (enough && (double(chosen->pixelsWide()) < wanted || rep->pixelsWide() < chosen->pixelsWide())))
      chosen = rep;
  }
  if (!chosen) return {};
  if (!isRGBA8(*chosen)) chosen = redrawnRepresentation(chosen, {chosen->pixelsWide(), chosen->pixelsHigh()});
  if (!chosen) return {};
  const raster::ImageRef& pixels = chosen->image();
  QImage image(int(pixels->width()), int(pixels->height()), QImage::Format_RGBA8888_Premultiplied);
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(image.scanLine(y), pixels->row(y), std::size_t(image.width()) * 4);
  const double points = picture.size().width > 0 ? picture.size().width : double(image.width());
  image.setDevicePixelRatio(double(image.width()) / points);
  return image;
}

std::shared_ptr<raster::ImageSet> imageSetOf(const QImage& image) {
  if (image.isNull()) return nullptr;
  const QImage pixels = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
  raster::BitmapImageRepRef rep =
      ImportedImage::createNewBmpImageRep(pixels.width(), pixels.height(), 1.0, true);
  std::unique_ptr<raster::BitmapContext> context = rep ? rep->makeContext() : nullptr;
  if (!context) return nullptr;
  for (int y = 0; y < pixels.height(); ++y)
    std::memcpy(context->mutableData() + std::size_t(y) * context->bytesPerRow(), pixels.constScanLine(y),
                std::size_t(pixels.width()) * 4);
  rep->setImage(context->makeImage());
  return std::make_shared<raster::ImageSet>(raster::ImageSet::withRepresentation(rep));
}

// ---- WellView ------------------------------------------------------------------

WellView::WellView(const QColor& fill, QWidget* parent) : QWidget(parent), fill_(fill) {
  setAcceptDrops(true);
  setMinimumSize(80, 80);
}

std::optional<std::string> WellView::singleLocalFile(const QMimeData& mime) {
  const QList<QUrl> urls = mime.urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return std::nullopt;
  const std::string path = stdText(urls.front().toLocalFile());
  if (path.empty() || !QFileInfo(urls.front().toLocalFile()).isFile()) return std::nullopt;
  return path;
}

void WellView::setAlpha(double alpha) {
  if (alpha == alpha_) return;
  alpha_ = alpha;
  update();
}

void WellView::dragMoveEvent(QDragMoveEvent* event) {
  if (event->dropAction() != Qt::IgnoreAction) event->acceptProposedAction();
}

void WellView::refuse(QDropEvent* event) {
  // Taken, with no action, so the drag does not reach the window's drop
  // zone behind the well.
  event->setDropAction(Qt::IgnoreAction);
  event->accept();
}

void WellView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.setOpacity(alpha_);
  QPainterPath frame;
  frame.addRoundedRect(QRectF(rect()), 8, 8);
  painter.save();
  painter.setClipPath(frame);
  painter.fillRect(rect(), fill_);
  const QImage image = shownImage();
  if (image.isNull()) {
    drawPlaceholder(painter, QRectF(rect()));
  } else {
    painter.drawImage(fitted(image.deviceIndependentSize(), QRectF(rect()).adjusted(4, 4, -4, -4)), image);
  }
  strokeFrame(painter, frame);
  painter.restore();
}

void WellView::drawPlaceholder(QPainter& painter, const QRectF& area) const {
  painter.setPen(QPen(QColor(120, 120, 120), 1, Qt::DashLine));
  painter.drawText(area, Qt::AlignCenter, QStringLiteral("Drop here"));
}

// ---- LUT well --------------------------------------------------------------------

LUTWellView::LUTWellView(LUTWell& model, QWidget* parent) : WellView(Qt::black, parent), model_(model) {}

void LUTWellView::dragEnterEvent(QDragEnterEvent* event) {
  // One local .cube file, in any case; anything else is refused now rather
  // than failing silently after the drop.
  const std::optional<std::string> path = singleLocalFile(*event->mimeData());
  if (path && QFileInfo(qText(*path)).suffix().compare("cube", Qt::CaseInsensitive) == 0)
    event->acceptProposedAction();
  else
    refuse(event);
}

void LUTWellView::dropEvent(QDropEvent* event) {
  const std::optional<std::string> path = singleLocalFile(*event->mimeData());
  if (!path) {
    refuse(event);
    return;
  }
  event->acceptProposedAction();
  foundation::MainLoop::postAfter(kReadDelay, [this, file = *path] { verifyCubeLUT(file, true); });
}

bool LUTWellView::verifyCubeLUT(const std::string& path, bool notify) {
  if (QFileInfo(qText(path)).suffix().compare("cube", Qt::CaseInsensitive) != 0) return false;
  const std::optional<CubeFile> cube = readCubeFile(path);
  if (!cube) return false;
  foundation::Data data(cube->data.size() * sizeof(float));
  std::memcpy(data.data(), cube->data.data(), data.size());
  model_.cubeSize = std::int64_t(cube->size);
  model_.cubeData = std::move(data);
  model_.cubeURL = path;
  update();
  if (notify)
    foundation::NotificationCenter::defaultCenter().post(
        "LUTDragAndDrop", nullptr, foundation::Array{model_.cubeSize, *model_.cubeData, model_.cubeURL});
  return true;
}

bool LUTWellView::updateLUTWithArray(const foundation::Array& lut) {
  if (lut.size() != 3 || !lut[1].asData() || !isWholeCube(lut[0].intOr(0), lut[1].asData()->size()))
    return false;
  model_.cubeSize = lut[0].intOr(0);
  model_.cubeData = *lut[1].asData();
  model_.cubeURL = lut[2].stringOr("");
  update();
  return true;
}

void LUTWellView::importLUTFrom() {
  const QString chosen =
      QFileDialog::getOpenFileName(ui::dialogParent(this), QStringLiteral("3D CUBE LUT — Select LUT (.cube)"),
                                   QString(), QStringLiteral("3D LUT (*.cube *.CUBE)"));
  if (chosen.isEmpty()) return;
  foundation::MainLoop::postAfter(kReadDelay, [this, file = stdText(chosen)] { verifyCubeLUT(file, true); });
}

void LUTWellView::drawPlaceholder(QPainter& painter, const QRectF& area) const {
  if (!model_.cubeData) {
    WellView::drawPlaceholder(painter, area);
    return;
  }
  QRadialGradient gradient(area.center(), std::max(area.width(), area.height()) / 2);
  gradient.setColorAt(0.0, Qt::black);
  gradient.setColorAt(0.3, Qt::black);
  gradient.setColorAt(1.0, QColor::fromRgbF(0.18f, 0.17f, 0.18f));
  painter.fillRect(area, gradient);
  QFont font = painter.font();
  font.setPointSizeF(24 * area.width() / 200);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(area, Qt::AlignCenter, QFileInfo(qText(model_.cubeURL)).completeBaseName());
}

// ---- Composite and watermark wells ---------------------------------------------

PictureWellView::PictureWellView(ImageWell& model, const ImportedImage& engine, Texts texts, QWidget* parent)
    : WellView(QColor::fromRgbF(0.95f, 0.95f, 0.95f), parent),
      model_(model),
      engine_(engine),
      texts_(texts) {}

bool PictureWellView::accepts(const std::optional<std::string>& path) const {
  return model_.acceptsDrops && path && isWellImageFile(engine_, *path);
}

void PictureWellView::dragEnterEvent(QDragEnterEvent* event) {
  if (accepts(singleLocalFile(*event->mimeData())))
    event->acceptProposedAction();
  else
    refuse(event);
}

void PictureWellView::dropEvent(QDropEvent* event) {
  const std::optional<std::string> path = singleLocalFile(*event->mimeData());
  if (!accepts(path)) {
    refuse(event);
    return;
  }
  event->acceptProposedAction();
  foundation::MainLoop::postAfter(kReadDelay,
                                  [this, file = *path] { updateImageAfterDragAndDropWithURL(file, true); });
}

bool PictureWellView::updateImageAfterDragAndDropWithURL(const std::string& path, bool notify) {
  std::optional<WellPicture> picture = loadWellPicture(path);
  if (!picture) return false;
  model_.fullSizeImage = picture->fullSizeImage;
  model_.originalImageHasAlpha = picture->originalImageHasAlpha;
  showModel();
  if (notify) {
    std::any payload;
    if (texts_.postsPicture) payload = model_.fullSizeImage;
    foundation::NotificationCenter::defaultCenter().post(texts_.notification, nullptr, foundation::Value(),
                                                         std::move(payload));
  }
  return true;
}

void PictureWellView::importImageFrom() {
  // The extensions of the formats conversions read, in both cases (the
  // dialog's patterns are case-sensitive here).
  QString patterns;
  for (const char* extension : {"jpg", "jpeg", "png", "bmp", "tif", "tiff", "pdf", "icns", "gif", "psd",
                                "eps", "ai", "heic", "heif", "webp"})
    patterns += QStringLiteral("*.%1 *.%2 ")
                    .arg(QString::fromUtf8(extension), QString::fromUtf8(extension).toUpper());
  const QString chosen = QFileDialog::getOpenFileName(
      ui::dialogParent(this), QStringLiteral("%1 — %2").arg(texts_.panelTitle, texts_.panelMessage),
      QString(), QStringLiteral("Images (%1);;All files (*)").arg(patterns.trimmed()));
  const std::string path = stdText(chosen);
  if (path.empty() || !isWellImageFile(engine_, path)) return;
  foundation::MainLoop::postAfter(kReadDelay,
                                  [this, path] { updateImageAfterDragAndDropWithURL(path, true); });
}

void PictureWellView::showModel() {
  if (model_.fullSizeImage.get() != shownPicture_) {
    shownPicture_ = model_.fullSizeImage.get();
    const auto thumbnail =
        shownPicture_ ? wellThumbnail(*shownPicture_, {double(width()), double(height())}) : nullptr;
    thumbnail_ = thumbnail ? qImageOf(*thumbnail, devicePixelRatioF()) : QImage();
  }
  update();
}

// ---- Example well -----------------------------------------------------------------

ExampleImageWell::ExampleImageWell(QWidget* parent) : QWidget(parent) {
  setFixedSize(sizeHint());
  const auto placeholder = placeholderPicture();
  originalImage_ = placeholder ? exampleThumbnail(*placeholder, {60, 60}) : nullptr;
  resetOriginalImage();
}

void ExampleImageWell::updateImageWithImage(const std::shared_ptr<const raster::ImageSet>& picture) {
  if (!picture) return;
  auto thumbnail = exampleThumbnail(*picture, {double(width()), double(height())});
  if (!thumbnail) return;
  backupImage_ = thumbnail;
  setImage(std::make_shared<raster::ImageSet>(*thumbnail));
}

void ExampleImageWell::resetOriginalImage() {
  if (!originalImage_) return;
  backupImage_ = std::make_shared<raster::ImageSet>(*originalImage_);
  setImage(std::make_shared<raster::ImageSet>(*originalImage_));
}

void ExampleImageWell::setImage(std::shared_ptr<raster::ImageSet> image) {
  image_ = std::move(image);
  update();
}

QRect ExampleImageWell::imageRect() const {
  if (!image_) return {};
  const raster::Rect r =
      exampleImageRect({double(width()), double(height())}, image_->size(), devicePixelRatioF());
  // The rectangle is measured from the lower left.
  return ui::flippedRect({r.origin.x, r.origin.y, r.size.width, r.size.height}, height()).toRect();
}

void ExampleImageWell::paintEvent(QPaintEvent*) {
  if (!image_) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const QRectF area(imageRect());
  QPainterPath frame;
  frame.addRoundedRect(area, 8, 8);
  painter.save();
  painter.setClipPath(frame);
  painter.drawImage(area, qImageOf(*image_, devicePixelRatioF()));
  strokeFrame(painter, frame);
  painter.restore();
}

}  // namespace velumar
