// When the next switch may go to the board. The board answers the frames it takes in
// order, one status each; a switch it ignores gets no answer at all.
#pragma once

#include <chrono>
#include <cstddef>

class CSwitchPace {
  public:
    using Clock = std::chrono::steady_clock;

    explicit CSwitchPace(Clock::duration pace) : m_pace(pace) {}

    void QuerySent() { ++m_answersOwed; }
    void SwitchSent(Clock::time_point now);
    void StatusReceived(Clock::time_point now);
    // True once the last switch is answered, or its pace has run out.
    bool MayGo(Clock::time_point now);
    // While a switch waits for its answer: when its pace runs out.
    bool Waiting() const { return m_inFlight; }
    Clock::time_point PaceUntil() const { return m_paceUntil; }
    // A new connection owes nothing.
    void Reset() { *this = CSwitchPace(m_pace); }

  private:
    void Expire(Clock::time_point now);

    Clock::duration m_pace;
    // A switch's answer is the first status after the answers owed for what went before it.
    std::size_t m_answersOwed = 0;
    std::size_t m_answersBeforeSwitch = 0;
    bool m_inFlight = false;
    Clock::time_point m_paceUntil{};
};
