#pragma once
// Keys and values of the descriptive attributes a registered filter carries
// (its names, categories and the ranges of its parameters).

namespace ci {

inline constexpr const char* kAttributeFilterName = "CIAttributeFilterName";
inline constexpr const char* kAttributeFilterDisplayName = "CIAttributeFilterDisplayName";
inline constexpr const char* kAttributeFilterCategories = "CIAttributeFilterCategories";
inline constexpr const char* kAttributeType = "CIAttributeType";
inline constexpr const char* kAttributeTypeScalar = "CIAttributeTypeScalar";
inline constexpr const char* kAttributeTypePosition = "CIAttributeTypePosition";
inline constexpr const char* kAttributeMin = "CIAttributeMin";
inline constexpr const char* kAttributeSliderMin = "CIAttributeSliderMin";
inline constexpr const char* kAttributeMax = "CIAttributeMax";
inline constexpr const char* kAttributeSliderMax = "CIAttributeSliderMax";
inline constexpr const char* kAttributeDefault = "CIAttributeDefault";
inline constexpr const char* kAttributeIdentity = "CIAttributeIdentity";
inline constexpr const char* kAttributeDisplayName = "CIAttributeDisplayName";

inline constexpr const char* kCategoryColorAdjustment = "CICategoryColorAdjustment";
inline constexpr const char* kCategoryVideo = "CICategoryVideo";
inline constexpr const char* kCategoryStillImage = "CICategoryStillImage";

}  // namespace ci
