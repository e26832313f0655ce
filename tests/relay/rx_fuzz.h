// Checked run of the receive reassembly over an encoded stream of bytes and ticks,
// shared by the libFuzzer entry and the bounded random-stream test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct RxFuzzResult {
    std::string failure; // empty when every check held
    std::size_t framesDelivered = 0;
};

// Input, two bytes per event: (even, b) pushes byte b; (odd, n) runs n % 16 timer ticks.
RxFuzzResult RunRxFuzzInput(const std::uint8_t* data, std::size_t size);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
