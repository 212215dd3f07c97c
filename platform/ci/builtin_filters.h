#pragma once
// The table of built-in filters: each has its parameter defaults and a
// function that builds its output from the filter's current values.

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/ci/filter.h"

namespace ci {

struct BuiltinFilterDefinition {
  std::vector<std::pair<std::string, FilterValue>> defaults;
  std::function<ImageRef(const Filter& filter)> output;
};

using BuiltinFilterTable = std::map<std::string, BuiltinFilterDefinition, std::less<>>;

const BuiltinFilterTable& builtinFilters();

// One function per family, each in its own file.
void addGeometryFilters(BuiltinFilterTable& table);
void addColorFilters(BuiltinFilterTable& table);
void addCompositingFilters(BuiltinFilterTable& table);
void addColorAdjustmentFilters(BuiltinFilterTable& table);
void addTemperatureFilters(BuiltinFilterTable& table);
void addHighlightShadowFilters(BuiltinFilterTable& table);
void addColorLookFilters(BuiltinFilterTable& table);
void addPhotoEffectFilters(BuiltinFilterTable& table);
void addBlendFilters(BuiltinFilterTable& table);
void addGeneratorFilters(BuiltinFilterTable& table);
void addBlurFilters(BuiltinFilterTable& table);
void addColorCubeFilters(BuiltinFilterTable& table);
void addToneCurveFilters(BuiltinFilterTable& table);
void addNeighbourhoodFilters(BuiltinFilterTable& table);

}  // namespace ci
