#pragma once
// Tints for the menu painters: a colour moved towards white, each channel on its own.

#include <cstdint>

// colour is 0x00BBGGRR. A fraction outside (0, 1] leaves the colour as it is; 1 gives
// white. Channels are truncated, so 128 with 0.5 becomes 191.
std::uint32_t LightenRgb(std::uint32_t colour, double fraction);
