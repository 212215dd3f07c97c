#pragma once
// The tone-curve filters: a master curve over all channels
// ("ToneCurveFilter") and one curve per channel ("ToneCurveChannelRed",
// "ToneCurveChannelGreen", "ToneCurveChannelBlue"). Each holds five points
// inputPoint0 to inputPoint4 (vectors (x, y), the diagonal by default),
// made safe by normalizeCurvePoints, and applies the same curve as
// CIToneCurve: the master to red, green and blue, a channel filter to its
// own channel only.

#include "platform/ci/filter.h"
#include "platform/foundation/value.h"

namespace velumar {

class ToneCurveFilterBase : public ci::Filter {
 public:
  void setDefaults() override;
  foundation::Dictionary customAttributes() const;
  ci::ImageRef outputImage() const override;

 protected:
  // channel: 0 red, 1 green, 2 blue, -1 all.
  ToneCurveFilterBase(std::string name, int channel) : ci::Filter(std::move(name)), channel_(channel) {}

 private:
  int channel_;
};

class ToneCurveFilter final : public ToneCurveFilterBase {
 public:
  ToneCurveFilter() : ToneCurveFilterBase("ToneCurveFilter", -1) {}
};

class ToneCurveChannelRed final : public ToneCurveFilterBase {
 public:
  ToneCurveChannelRed() : ToneCurveFilterBase("ToneCurveChannelRed", 0) {}
};

class ToneCurveChannelGreen final : public ToneCurveFilterBase {
 public:
  ToneCurveChannelGreen() : ToneCurveFilterBase("ToneCurveChannelGreen", 1) {}
};

class ToneCurveChannelBlue final : public ToneCurveFilterBase {
 public:
  ToneCurveChannelBlue() : ToneCurveFilterBase("ToneCurveChannelBlue", 2) {}
};

// Registers the four under their names with their attributes.
void registerToneCurveFilters();

}  // namespace velumar
