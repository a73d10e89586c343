// Every window is laid out in design pixels at 96 DPI. With larger fonts
// (120 DPI, Windows' "Large size") the whole layout grows by the same ratio
// when the windows are made, as form toolkits scale a form designed at 96
// DPI; the handlers never see anything but design pixels.
#pragma once

#include "ui/Form.h"

namespace kv::ui {

inline constexpr int kDesignDpi = 96;

// A design length at `dpi`, rounded to the nearest pixel.
int Scaled(int designPixels, int dpi);

// A rectangle at `dpi`. Its edges are scaled rather than its size, so
// controls that meet or line up in the design still do.
Rect Scaled(const Rect& design, int dpi);

}  // namespace kv::ui
