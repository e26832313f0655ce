// The 16 relay channels of the simulated board; every change is shown on a stream
// for a person watching.
#pragma once

#include "RelayFrame.h"

#include <cstdint>
#include <cstdio>

class CBoardState {
  public:
    CBoardState(std::uint16_t channels, std::FILE* display);

    // Applies a command frame (0x11, 0x12, 0x13); false for any other command.
    bool ApplyCommand(const RelayFrame& frame);

    // Flips one channel, as if switched by hand at the board.
    void Toggle(int channel);

    // The status frame: 55 01 10 00 00, channels 9-16, channels 1-8, checksum.
    RelayFrame StatusFrame() const;

  private:
    void Set(std::uint16_t channels, const char* cause);

    std::uint16_t m_channels;
    std::FILE* m_display; // not owned
};
