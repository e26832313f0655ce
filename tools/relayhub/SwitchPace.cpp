#include "SwitchPace.h"

void CSwitchPace::SwitchSent(Clock::time_point now) {
    m_inFlight = true;
    m_paceUntil = now + m_pace;
    m_answersBeforeSwitch = m_answersOwed++;
}

void CSwitchPace::StatusReceived(Clock::time_point now) {
    Expire(now);
    if (m_answersOwed > 0)
        --m_answersOwed;
    if (m_inFlight && m_answersBeforeSwitch > 0)
        --m_answersBeforeSwitch;
    else
        m_inFlight = false; // the switch's answer (or a later one)
}

bool CSwitchPace::MayGo(Clock::time_point now) {
    Expire(now);
    return !m_inFlight;
}

void CSwitchPace::Expire(Clock::time_point now) {
    if (!m_inFlight || now < m_paceUntil)
        return;
    // Taken as ignored: its answer is no longer expected, but the answers to what went
    // before it and to the queries since still are, so none of them passes for the next
    // switch's answer.
    m_inFlight = false;
    if (m_answersOwed > 0)
        --m_answersOwed;
}
