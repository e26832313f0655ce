#pragma once
// Tints for the menu painters: a color moved towards white, each channel on its own.

#include <cstdint>

// color is 0x00BBGGRR. A fraction outside (0, 1] leaves the color as it is; 1 gives
// white. Channels are truncated, so 128 with 0.5 becomes 191.
std::uint32_t LightenRgb(std::uint32_t color, double fraction);
