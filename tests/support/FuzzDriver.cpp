#include "FuzzDriver.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>

namespace {

std::vector<std::uint8_t> Mutate(std::vector<std::uint8_t> bytes, std::mt19937& rng) {
    static const std::uint8_t kInteresting[] = {0x00, 0x01, 0x10, 0x55, 0x7F, 0x80, 0xFF};
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits; ++e) {
        const std::size_t at = bytes.empty() ? 0 : rng() % bytes.size();
        switch (rng() % 5) {
        case 0:
            if (!bytes.empty())
                bytes[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
            break;
        case 1:
            if (!bytes.empty())
                bytes[at] = kInteresting[rng() % std::size(kInteresting)];
            break;
        case 2:
            bytes.resize(at);
            break;
        case 3:
            bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                         static_cast<std::uint8_t>(rng()));
            break;
        default:
            if (!bytes.empty())
                bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at));
            break;
        }
    }
    return bytes;
}

// An exact-size heap copy, so the sanitizers see a read one byte too far.
void Run(const std::vector<std::uint8_t>& input) {
    std::vector<std::uint8_t> exact(input);
    exact.shrink_to_fit();
    LLVMFuzzerTestOneInput(exact.data(), exact.size());
}

} // namespace

int main(int argc, char** argv) {
    const long inputs = argc > 1 ? std::atol(argv[1]) : 100000;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 20.0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    const auto seeds = FuzzSeeds();
    if (seeds.empty())
        return 1;
    for (const auto& seed : seeds)
        Run(seed);

    std::mt19937 rng(20240607);
    long run = 0;
    for (; run < inputs && std::chrono::steady_clock::now() < deadline; ++run) {
        if (run % 8 == 0) {
            std::vector<std::uint8_t> random(rng() % 64);
            for (auto& byte : random)
                byte = static_cast<std::uint8_t>(rng());
            Run(random);
        } else {
            Run(Mutate(seeds[rng() % seeds.size()], rng));
        }
    }
    std::printf("fuzz: %zu seeds and %ld inputs\n", seeds.size(), run);
    return 0;
}
