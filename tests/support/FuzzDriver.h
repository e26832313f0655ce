#pragma once
// A bounded stand-in for libFuzzer, so fuzz targets run under any compiler and the
// sanitizers in CTest. Link FuzzDriver.cpp with a file that defines the target's
// LLVMFuzzerTestOneInput and FuzzSeeds; run it as  <program> [inputs] [seconds].
// It feeds every seed, then mutated seeds and random buffers, until either bound is reached.

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// Valid inputs the mutations start from.
std::vector<std::vector<std::uint8_t>> FuzzSeeds();
