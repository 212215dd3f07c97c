#pragma once
// The resize controls' actions on the controls model: the scale method
// enabling its controls, the unit pop-up converting both size fields, the
// aspect-ratio check and the two quarter-turn buttons.

#include <cstdint>

namespace velumar {

class ConverterForm;
struct ConverterState;

// The scale method the pop-up now shows: index 1 holds the factor at 100 %;
// crop, stretch-and-crop and rotation methods enable their own controls.
void resizeScaleMethodFrom(ConverterForm& form, ConverterState& state);
// The unit pop-up now shows a new unit: both fields are rewritten in it.
// Answers whether the width field's text is to be selected (after a change
// of unit outside the keep-size method).
bool selectResizeFormatFrom(ConverterForm& form, ConverterState& state);
// The aspect-ratio check was clicked.
void modifyAspectRatioFrom(ConverterForm& form);
// The quarter-turn buttons: the scale method moves to the turned state.
void rotateRightFrom(ConverterForm& form, ConverterState& state);
void rotateLeftFrom(ConverterForm& form, ConverterState& state);

}  // namespace velumar
