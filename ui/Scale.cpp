#include "ui/Scale.h"

#include <cstdint>

namespace kv::ui {

int Scaled(int designPixels, int dpi) {
    if (dpi <= 0) dpi = kDesignDpi;
    std::int64_t product = static_cast<std::int64_t>(designPixels) * dpi;
    // Halves round away from zero, as MulDiv does.
    std::int64_t half = kDesignDpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / kDesignDpi : -((-product + half) / kDesignDpi));
}

Rect Scaled(const Rect& design, int dpi) {
    int left = Scaled(design.x, dpi), top = Scaled(design.y, dpi);
    int right = Scaled(design.x + design.w, dpi), bottom = Scaled(design.y + design.h, dpi);
    return Rect{left, top, right - left, bottom - top};
}

}  // namespace kv::ui
