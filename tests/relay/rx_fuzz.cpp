// The receive reassembly against a model of its own, over encoded streams of
// bytes and timer ticks: two bytes per event, (even, b) pushes byte b and
// (odd, n) runs n % 16 ticks. Aborts on the first difference.
#include "FuzzDriver.h"
#include "RelayRxState.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The algorithm restated: a byte after 10 or more quiet ticks starts a new
// frame, every eighth byte of a frame closes it, and a frame counts when byte 7
// is the low byte of the sum of the others.
class RxModel {
  public:
    bool Byte(std::uint8_t b) {
        if (m_quietTicks >= 10)
            m_pending.clear();
        m_quietTicks = 0;
        m_pending.push_back(b);
        if (m_pending.size() < 8)
            return false;
        unsigned sum = 0;
        for (std::size_t i = 0; i < 7; ++i)
            sum += m_pending[i];
        m_last = m_pending;
        m_pending.clear();
        return (sum & 0xFF) == m_last[7];
    }
    void Ticks(int n) { m_quietTicks += n; }
    std::size_t Pending() const { return m_pending.size(); }
    const std::vector<std::uint8_t>& Last() const { return m_last; }

  private:
    std::vector<std::uint8_t> m_pending, m_last;
    long m_quietTicks = 10; // nothing received yet
};

void Fail(const char* what, std::size_t event) {
    std::fprintf(stderr, "rx_fuzz: %s at event %zu\n", what, event);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CRelayRxState rx;
    RxModel model;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        if (data[i] & 1) {
            for (int t = 0; t < data[i + 1] % 16; ++t)
                rx.TickRxTimeout();
            model.Ticks(data[i + 1] % 16);
            continue;
        }
        const bool delivered = rx.PushRxByte(data[i + 1]);
        if (delivered != model.Byte(data[i + 1]))
            Fail("delivery differs from the model", i / 2);
        if (delivered && std::vector<std::uint8_t>(rx.m_rxFrame.begin(), rx.m_rxFrame.end()) !=
                             model.Last())
            Fail("delivered frame differs from the model", i / 2);
        if (rx.m_rxIndex != model.Pending())
            Fail("index differs from the model", i / 2);
    }
    return 0;
}

// Good frames back to back, split by pauses of 9 and 10 ticks, and a stray byte.
std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    const std::uint8_t status[] = {0x55, 0x01, 0x10, 0x00, 0x00, 0x80, 0x05, 0xEB};
    std::vector<std::vector<std::uint8_t>> seeds(4);
    for (int pause : {0, 9, 10}) {
        std::vector<std::uint8_t>& seed = seeds[pause / 5];
        for (int frame = 0; frame < 2; ++frame)
            for (std::uint8_t b : status)
                seed.insert(seed.end(), {0, b, 1, static_cast<std::uint8_t>(pause)});
    }
    seeds[3] = {0, 0x00};
    for (std::uint8_t b : status)
        seeds[3].insert(seeds[3].end(), {0, b});
    return seeds;
}
