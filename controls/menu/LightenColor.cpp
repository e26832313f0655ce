#include "LightenColor.h"

std::uint32_t LightenRgb(std::uint32_t color, double fraction) {
    if (!(fraction > 0.0) || fraction > 1.0)
        return color;
    std::uint32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double channel = static_cast<double>((color >> shift) & 0xFF);
        const auto lightened = static_cast<std::uint32_t>(channel + fraction * (255.0 - channel));
        result |= lightened << shift;
    }
    return result;
}
