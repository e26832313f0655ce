#include "Deadline.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// What an ended wait is given to return before the process is stopped instead.
const int kGraceSeconds = 10;

BOOL CALLBACK CancelWindow(HWND hWnd, LPARAM keep) {
    if (hWnd == reinterpret_cast<HWND>(keep))
        return TRUE;
    char cls[16] = {};
    ::GetClassNameA(hWnd, cls, sizeof cls);
    if (std::string(cls) == "#32770") // a dialog or a message box
        ::PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
    else // a popup menu's window ends its tracking on this
        ::PostMessageA(hWnd, WM_CANCELMODE, 0, 0);
    return TRUE;
}

} // namespace

Deadline::Deadline(std::string what, std::function<void()> end, unsigned timeoutMs)
    : m_what(std::move(what)), m_timeoutMs(timeoutMs),
      m_watch([this, end = std::move(end)] { Watch(end); }) {}

void Deadline::Watch(const std::function<void()>& end) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_over.wait_for(lock, std::chrono::milliseconds(m_timeoutMs), [&] { return m_ended; }))
        return;
    m_passed = true;
    for (int second = 0; second < kGraceSeconds; ++second) {
        lock.unlock();
        end();
        lock.lock();
        if (m_over.wait_for(lock, std::chrono::seconds(1), [&] { return m_ended; }))
            return;
    }
    std::fprintf(stderr, "%s: no end within %u ms, nor once told to end; stopping\n",
                 m_what.c_str(), m_timeoutMs);
    std::fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), 1);
}

Deadline::~Deadline() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ended = true;
    }
    m_over.notify_all();
    m_watch.join();
    if (m_passed)
        ADD_FAILURE() << m_what << ": no end within " << m_timeoutMs << " ms";
}

void CancelModalWaits(DWORD thread, HWND keep) {
    ::EnumThreadWindows(thread, &CancelWindow, reinterpret_cast<LPARAM>(keep));
}

INT_PTR DoModalWithin(CDialog& dialog, const std::string& what, unsigned timeoutMs) {
    Deadline deadline(
        what, [thread = ::GetCurrentThreadId()] { CancelModalWaits(thread); }, timeoutMs);
    return dialog.DoModal();
}
