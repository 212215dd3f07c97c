#include "filters/cifiltering.h"

#include "filters/application_filters.h"

namespace velumar {

CIFiltering::CIFiltering() {
  registerApplicationFilters();
  initialValuesForFilterInfo(&filterInfo0_);
  initialValuesForFilterInfo(&filterInfo1_);
  initialValuesForFilterInfo(&filterInfo2_);
}

std::shared_ptr<CIFiltering> CIFiltering::copyForWorker() const {
  auto copy = std::make_shared<CIFiltering>();
  {
    std::lock_guard lock(slotsMutex_);
    copy->filterInfo0_ = filterInfo0_;
    copy->filterInfo1_ = filterInfo1_;
    copy->filterInfo2_ = filterInfo2_;
  }
  copy->filterUsesGPUForRendering_.store(filterUsesGPUForRendering_.load());
  copy->currentProfile_ = currentProfile_;
  // Filters hold their inputs: each engine sets its own.
  copy->currentColorSpaceFilter_ = currentColorSpaceFilter_ ? currentColorSpaceFilter_->copy() : nullptr;
  copy->lookups_ = lookups_;
  copy->lookupImageFolder = lookupImageFolder;
  return copy;
}

void CIFiltering::initialValuesForFilterInfo(FilterInfo* info) {
  if (info) *info = FilterInfo{};
}

FilterInfo CIFiltering::filterInfo0() const {
  std::lock_guard lock(slotsMutex_);
  return filterInfo0_;
}

void CIFiltering::setFilterInfo0(const FilterInfo& info) {
  std::lock_guard lock(slotsMutex_);
  filterInfo0_ = info;
}

FilterInfo CIFiltering::filterInfo1() const {
  std::lock_guard lock(slotsMutex_);
  return filterInfo1_;
}

void CIFiltering::setFilterInfo1(const FilterInfo& info) {
  std::lock_guard lock(slotsMutex_);
  filterInfo1_ = info;
}

FilterInfo CIFiltering::filterInfo2() const {
  std::lock_guard lock(slotsMutex_);
  return filterInfo2_;
}

void CIFiltering::setFilterInfo2(const FilterInfo& info) {
  std::lock_guard lock(slotsMutex_);
  filterInfo2_ = info;
}

}  // namespace velumar
