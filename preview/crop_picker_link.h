#pragma once
// What the preview needs of the converter's crop-centre picker: the picker
// holds the one copy of the crop point (percent of the picture, y up) and
// whether a crop drag is under way; the converter's resize method decides
// whether a press in the preview picks. The application connects the two
// windows through this interface, so the preview does not depend on the
// converter.

#include "platform/raster/geometry.h"

namespace velumar {

class CropPickerLink {
 public:
  virtual ~CropPickerLink() = default;
  // The selected resize method (resizeScaleType code).
  virtual int resizeMethod() const = 0;
  virtual raster::Point mousePoint() const = 0;
  virtual void setMousePoint(raster::Point point) = 0;
  virtual bool viewIsMovingMouse() const = 0;
  virtual void setViewIsMovingMouse(bool moving) = 0;
  // The picker redraws itself.
  virtual void setNeedsDisplay() = 0;
};

// Resize methods that crop: a press in the preview picks their centre.
inline bool picksCropCentre(int resizeMethod) {
  return resizeMethod == 6 || resizeMethod == 16;
}

}  // namespace velumar
