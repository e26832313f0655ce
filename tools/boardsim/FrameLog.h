// The frame log: one timestamped hex line per received frame, flushed per line.
#pragma once

#include "RelayFrame.h"

#include <cstdio>
#include <string>

// Local time with milliseconds, "2024-05-01T12:00:00.123".
std::string LogTimestamp();

class CFrameLog {
  public:
    // An empty path logs to standard output.
    explicit CFrameLog(const std::string& path);
    ~CFrameLog();
    CFrameLog(const CFrameLog&) = delete;
    CFrameLog& operator=(const CFrameLog&) = delete;

    bool IsOpen() const { return m_file != nullptr; }
    void Write(const std::string& timestamp, const RelayFrame& frame, bool checksumOk);

  private:
    std::FILE* m_file;
    bool m_owned;
};
