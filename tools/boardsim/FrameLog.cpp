#include "FrameLog.h"

#include <chrono>
#include <ctime>

std::string LogTimestamp() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(millis));
    return text;
}

CFrameLog::CFrameLog(const std::string& path)
    : m_file(path.empty() ? stdout : std::fopen(path.c_str(), "w")), m_owned(!path.empty()) {}

CFrameLog::~CFrameLog() {
    if (m_owned && m_file != nullptr)
        std::fclose(m_file);
}

void CFrameLog::Write(const std::string& timestamp, const RelayFrame& frame, bool checksumOk) {
    std::fputs(timestamp.c_str(), m_file);
    for (std::uint8_t b : frame)
        std::fprintf(m_file, " %02X", b);
    std::fputs(checksumOk ? "\n" : " bad-checksum\n", m_file);
    std::fflush(m_file);
}
