#include "Log.h"

#include <cstdio>
#include <ctime>

void HubLog(const std::string& line) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
    // One fprintf per line, so lines from different threads do not interleave.
    std::fprintf(stderr, "%s.%03d %s\n", stamp, static_cast<int>(millis), line.c_str());
}

CRateLimitedLog::CRateLimitedLog(std::chrono::milliseconds period) : m_period(period) {}

void CRateLimitedLog::Write(const std::string& line) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(m_mutex);
    if (m_lastWritten != std::chrono::steady_clock::time_point{} &&
        now - m_lastWritten < m_period) {
        ++m_heldBack;
        return;
    }
    HubLog(m_heldBack ? line + " (and " + std::to_string(m_heldBack) + " more held back)" : line);
    m_heldBack = 0;
    m_lastWritten = now;
}
