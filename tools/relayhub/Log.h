// relayhub's log: one timestamped line per call on stderr.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

void HubLog(const std::string& line);

// For events that can come in floods (dropped frames): the first line of a burst is
// written at once, then at most one line per period with the count of those held back.
class CRateLimitedLog {
  public:
    explicit CRateLimitedLog(std::chrono::milliseconds period = std::chrono::seconds(5));
    void Write(const std::string& line);

  private:
    std::mutex m_mutex;
    std::chrono::milliseconds m_period;
    std::chrono::steady_clock::time_point m_lastWritten{};
    std::uint64_t m_heldBack = 0;
};
