#pragma once
// Watches, from its own thread, for message boxes of this process, records
// their caption, text and icon, and closes each with its first button. Tests
// use it to see what a modal message box said without a person present.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A visible message box of this process, or null.
HWND FindMessageBox();

struct SeenMessageBox {
    std::string caption;
    std::string text;
    bool hasIcon = false;
    HWND owner = nullptr;
};

class MessageBoxWatcher {
  public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // How long each later box stays open before it is answered (none by default).
    void HoldEachBoxFor(unsigned ms) { m_holdMs = ms; }

    std::vector<SeenMessageBox> Seen() const;
    // Waits (pumping messages) until at least count boxes were closed.
    bool WaitForCount(size_t count, unsigned timeoutMs = 20000) const;

  private:
    void Run();
    std::atomic<unsigned> m_holdMs{0};
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::vector<SeenMessageBox> m_seen;
    std::thread m_thread;
};
