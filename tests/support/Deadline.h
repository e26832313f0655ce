#pragma once
// A deadline for a wait that cannot watch the clock itself: a modal loop, a
// message box or a popup menu that the waiting thread runs, a join. When it
// passes, `end` runs on a thread of the deadline's own to end the wait (posting
// the cancel or close that wait needs; again each second while it lasts), and
// the test fails naming what it waited for. Should the wait outlive even that,
// the process stops with the same message rather than hang.

#include "CDialog.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class Deadline {
  public:
    Deadline(std::string what, std::function<void()> end, unsigned timeoutMs = 20000);
    ~Deadline(); // the wait is over; one that outlived the deadline fails the test here
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

  private:
    void Watch(const std::function<void()>& end);

    const std::string m_what;
    const unsigned m_timeoutMs;
    std::mutex m_mutex;
    std::condition_variable m_over;
    bool m_ended = false;
    bool m_passed = false;
    std::thread m_watch; // last: it starts once the rest is set
};

// Cancels every dialog and message box of the thread but keep, and ends the
// popup menu it tracks: what ends a modal wait of that thread.
void CancelModalWaits(DWORD thread, HWND keep = nullptr);

// DoModal of the dialog, its modal waits cancelled when it outlives the deadline.
INT_PTR DoModalWithin(CDialog& dialog, const std::string& what, unsigned timeoutMs = 20000);
