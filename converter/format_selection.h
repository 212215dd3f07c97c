#pragma once
// The output-format buttons' action on the controls model: one button on,
// the options the format can use enabled, the rest disabled.

#include <cstdint>

namespace velumar {

class ConverterForm;
struct ConverterState;

// Selects the format of the given conversion code (0 when out of range).
// Answers whether the live preview needs a new render: the preview's
// output profile changed, or an icon option is checked, the icon options
// applied before or apply now, and the code changed.
bool setButtonFormatFrom(ConverterForm& form, ConverterState& state, std::int64_t code);

}  // namespace velumar
