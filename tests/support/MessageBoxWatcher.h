#pragma once
// Message boxes of this process as a person would meet them: read, then
// answered with their first button.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SeenMessageBox {
    std::string caption;
    std::string text; // empty when no box came
    bool hasIcon = false;
};

// Waits for a box opened by another thread, reads it, runs beforeAnswer while
// it is still open, and answers it.
SeenMessageBox AnswerMessageBox(unsigned timeoutMs = 20000,
                                const std::function<void()>& beforeAnswer = {});

// Answers every box from its own thread, for boxes the test's own thread opens.
class MessageBoxWatcher {
  public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    std::vector<SeenMessageBox> Seen() const;
    // Waits (pumping messages) until at least count boxes were answered.
    bool WaitForCount(size_t count, unsigned timeoutMs = 20000) const;

  private:
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::vector<SeenMessageBox> m_seen;
    std::thread m_thread;
};
