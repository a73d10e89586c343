// How wide a caption is in the dialog font, for layouts that must decide
// before any window exists whether a caption takes one line or two.
#pragma once

#include <string>

namespace kv::ui {

// The width in design pixels (96 DPI) of a text in 8-point Tahoma, the
// dialog font of Windows 2000 and XP, as the widest renderer we know (Wine's)
// measures it; accented Latin and Cyrillic letters count as a wide
// lower-case letter, other characters outside ASCII as a wide capital. "&&" counts
// once when `accel` is set, and a single "&" (an access key) not at all.
int CaptionWidth(const std::string& text, bool accel = true);

// The width of a push button for its caption: as designed, or wider when
// the caption needs it, with room between the caption and the edges.
int ButtonWidth(const std::string& caption, int designWidth);

}  // namespace kv::ui
