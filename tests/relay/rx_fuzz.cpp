#include "rx_fuzz.h"

#include "RelayRxState.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// The algorithm restated in its own terms: a byte after 10 or more quiet ticks starts a
// new frame, and every eighth byte of a frame closes it.
class RxModel {
  public:
    // Returns true when the byte completes a frame with a right checksum.
    bool Byte(std::uint8_t b) {
        if (quietTicks_ >= RELAY_RX_TIMEOUT_TICKS)
            pending_.clear();
        quietTicks_ = 0;
        pending_.push_back(b);
        if (pending_.size() < RELAY_FRAME_SIZE)
            return false;
        unsigned sum = 0;
        for (std::size_t i = 0; i + 1 < RELAY_FRAME_SIZE; ++i)
            sum += pending_[i];
        const bool good = (sum & 0xFF) == pending_.back();
        lastFrame_ = pending_;
        pending_.clear();
        return good;
    }
    void Ticks(int n) { quietTicks_ += n; }
    std::size_t Pending() const { return pending_.size(); }
    const std::vector<std::uint8_t>& LastFrame() const { return lastFrame_; }

  private:
    std::vector<std::uint8_t> pending_;
    std::vector<std::uint8_t> lastFrame_;
    long quietTicks_ = RELAY_RX_TIMEOUT_TICKS; // nothing received yet
};

} // namespace

RxFuzzResult RunRxFuzzInput(const std::uint8_t* data, std::size_t size) {
    RxFuzzResult result;
    CRelayRxState rx;
    RxModel model;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const std::uint8_t op = data[i];
        const std::uint8_t value = data[i + 1];
        const std::string at = " at event " + std::to_string(i / 2);
        if (op & 1) {
            for (int t = 0; t < value % 16; ++t)
                rx.TickRxTimeout();
            model.Ticks(value % 16);
            continue;
        }
        const bool delivered = rx.PushRxByte(value);
        const bool expected = model.Byte(value);
        if (delivered != expected)
            return {"delivery differs from the model" + at, result.framesDelivered};
        if (delivered) {
            ++result.framesDelivered;
            if (!RelayChecksumOk(rx.m_rxFrame))
                return {"delivered a frame with a wrong checksum" + at, result.framesDelivered};
            if (std::vector<std::uint8_t>(rx.m_rxFrame.begin(), rx.m_rxFrame.end()) !=
                model.LastFrame())
                return {"delivered frame differs from the model" + at, result.framesDelivered};
        }
        if (rx.m_rxIndex > 7 || rx.m_rxIndex != model.Pending())
            return {"index differs from the model" + at, result.framesDelivered};
        if (rx.m_rxTimeout != RELAY_RX_TIMEOUT_TICKS)
            return {"time-out not rearmed" + at, result.framesDelivered};
    }
    return result;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const RxFuzzResult result = RunRxFuzzInput(data, size);
    if (!result.failure.empty()) {
        std::fprintf(stderr, "rx_fuzz: %s\n", result.failure.c_str());
        std::abort();
    }
    return 0;
}
