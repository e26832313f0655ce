// Bounded stand-in for libFuzzer, so the fuzz target runs under g++ and the
// sanitizers in CTest: mutates a few valid templates and random buffers for a
// fixed number of inputs or until the time budget is spent, whichever is first.
// Usage: menu_template_fuzz_driver [inputs] [seconds]
#include "MenuTemplateBuilder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::vector<std::uint8_t>> Seeds() {
    constexpr std::uint16_t kEnd = MenuTemplateBuilder::kEnd;
    return {
        MenuTemplateBuilder().Item(kEnd, 1, u"One").Bytes(),
        MenuTemplateBuilder()
            .Popup(0, u"&File")
            .Item(0, 10, u"&Open\tCtrl+O")
            .Item(0, 0, u"")
            .Popup(kEnd, u"&Recent")
            .Item(kEnd, 11, u"a")
            .Popup(kEnd, u"&Help")
            .Item(kEnd | 0x01, 12, u"关于")
            .Bytes(),
        MenuTemplateBuilder(8).Popup(kEnd, u"A").Popup(kEnd, u"B").Item(kEnd, 2, u"b").Bytes(),
    };
}

std::vector<std::uint8_t> Mutate(std::vector<std::uint8_t> bytes, std::mt19937& rng) {
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits; ++e) {
        switch (rng() % 5) {
        case 0: // flip bits of one byte
            if (!bytes.empty())
                bytes[rng() % bytes.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
            break;
        case 1: // set one byte to a value the reader cares about
            if (!bytes.empty()) {
                static const std::uint8_t kInteresting[] = {0x00, 0x10, 0x80, 0x90, 0xFF};
                bytes[rng() % bytes.size()] = kInteresting[rng() % std::size(kInteresting)];
            }
            break;
        case 2: // truncate
            bytes.resize(bytes.empty() ? 0 : rng() % bytes.size());
            break;
        case 3: // insert a random byte
            bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(rng() % (bytes.size() + 1)),
                         static_cast<std::uint8_t>(rng()));
            break;
        default: // erase one byte
            if (!bytes.empty())
                bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(rng() % bytes.size()));
            break;
        }
    }
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    const long inputs = argc > 1 ? std::atol(argv[1]) : 100000;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 20.0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);

    std::mt19937 rng(20240607);
    const auto seeds = Seeds();
    long run = 0;
    for (; run < inputs && std::chrono::steady_clock::now() < deadline; ++run) {
        std::vector<std::uint8_t> input;
        if (run % 8 == 0) {
            input.resize(rng() % 64);
            for (auto& b : input)
                b = static_cast<std::uint8_t>(rng());
        } else {
            input = Mutate(seeds[rng() % seeds.size()], rng);
        }
        // An exact-size heap copy, so a read one byte too far is caught.
        std::vector<std::uint8_t> exact(input.begin(), input.end());
        exact.shrink_to_fit();
        LLVMFuzzerTestOneInput(exact.data(), exact.size());
    }
    std::printf("menu template fuzz: %ld inputs\n", run);
    return run > 0 ? 0 : 1;
}
